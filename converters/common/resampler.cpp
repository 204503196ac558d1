#include "resampler.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kconv {

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double zero_crossings = 24; // on each side of the kernel's centre
constexpr double kaiser_beta = 9;     // about 90 dB down outside the pass band
constexpr double pass_fraction = 0.9; // of the lower Nyquist frequency
constexpr int table_steps = 512;
constexpr std::uint64_t max_phases = 1024;

double bessel_i0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 50 && term > 1e-12 * sum; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

} // namespace

resampler::resampler(std::uint32_t in_rate, std::uint32_t out_rate, std::function<void(double)> emit)
    : in_rate_(in_rate), out_rate_(out_rate), emit_(std::move(emit)) {
    scale_ = pass_fraction * std::min(1.0, double(out_rate) / in_rate);
    half_width_ = zero_crossings / scale_;
    const auto points = static_cast<std::size_t>(half_width_ * table_steps) + 2;
    table_.resize(points);
    const double norm = bessel_i0(kaiser_beta);
    for (std::size_t i = 0; i < points; ++i) {
        const double d = double(i) / table_steps;
        const double x = d * scale_;
        const double sinc = x == 0 ? 1 : std::sin(pi * x) / (pi * x);
        const double r = std::min(1.0, d / half_width_);
        table_[i] = scale_ * sinc * bessel_i0(kaiser_beta * std::sqrt(1 - r * r)) / norm;
    }
    const std::uint64_t common = std::gcd(in_rate, out_rate);
    up_ = out_rate / common;
    down_ = in_rate / common;
    reach_ = static_cast<std::int64_t>(std::ceil(half_width_));
    if (up_ > max_phases)
        return;
    const auto taps = static_cast<std::size_t>(2 * reach_ + 1);
    weights_.resize(up_ * taps);
    for (std::uint64_t phase = 0; phase < up_; ++phase) {
        const double fraction = double(phase * down_ % up_) / double(up_);
        double* w = &weights_[phase * taps];
        for (std::int64_t j = -reach_; j <= reach_; ++j)
            w[j + reach_] = kernel(fraction - double(j));
        // Each phase passes a constant unchanged.
        const double sum = std::accumulate(w, w + taps, 0.0);
        std::for_each(w, w + taps, [sum](double& x) { x /= sum; });
    }
}

double resampler::kernel(double distance) const {
    const double at = std::fabs(distance) * table_steps;
    const auto i = static_cast<std::size_t>(at);
    if (i + 1 >= table_.size())
        return 0;
    return table_[i] + (table_[i + 1] - table_[i]) * (at - double(i));
}

void resampler::feed(const double* samples, std::size_t count) {
    held_.insert(held_.end(), samples, samples + count);
    fed_ += count;
    produce(false);
}

void resampler::finish() {
    produce(true);
}

void resampler::produce(bool ending) {
    // In the end as many outputs as the input's length asks for, rounded to the nearest.
    const std::uint64_t total = (fed_ * out_rate_ + in_rate_ / 2) / in_rate_;
    const auto taps = static_cast<std::size_t>(2 * reach_ + 1);
    for (;; ++produced_) {
        const std::uint64_t base = produced_ * down_ / up_; // the input sample at or before the centre
        const auto last = static_cast<std::int64_t>(base) + reach_;
        if (ending ? produced_ >= total : last >= static_cast<std::int64_t>(fed_))
            break;
        const std::int64_t first =
            std::max<std::int64_t>(static_cast<std::int64_t>(base) - reach_, static_cast<std::int64_t>(held_from_));
        const std::int64_t end = std::min<std::int64_t>(last + 1, static_cast<std::int64_t>(fed_));
        const double centre = double(produced_) * in_rate_ / out_rate_;
        const double* w = weights_.empty() ? nullptr : &weights_[produced_ % up_ * taps];
        const double* x = held_.data() + (first - static_cast<std::int64_t>(held_from_));
        const auto offset = reach_ - static_cast<std::int64_t>(base); // from an input index to its weight
        double sum = 0;
        for (std::int64_t k = first; k < end; ++k, ++x)
            sum += *x * (w ? w[k + offset] : kernel(centre - double(k)));
        emit_(sum);
        // What no later output reaches is let go, a large piece at a time.
        if (first > static_cast<std::int64_t>(held_from_) + 65536) {
            held_.erase(held_.begin(), held_.begin() + (first - static_cast<std::int64_t>(held_from_)));
            held_from_ = static_cast<std::uint64_t>(first);
        }
    }
}

} // namespace kconv
