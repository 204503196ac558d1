#pragma once
// Sample-rate conversion by a windowed-sinc low-pass (Kaiser window), fed a block at a time: what
// lies above the lower of the two Nyquist frequencies is removed before it could fold back.

#include <cstdint>
#include <functional>
#include <vector>

namespace kconv {

class resampler {
public:
    // `emit` receives each output sample as it is ready.
    resampler(std::uint32_t in_rate, std::uint32_t out_rate, std::function<void(double)> emit);
    void feed(const double* samples, std::size_t count);
    void finish(); // the input has ended: the last outputs, with silence beyond the end

private:
    void produce(bool ending);
    double kernel(double distance) const;

    std::uint32_t in_rate_, out_rate_;
    std::function<void(double)> emit_;
    double scale_;              // the low-pass's cutoff, in cycles per input sample times two
    double half_width_;         // input samples on each side that reach an output
    std::vector<double> table_; // the kernel from 0 to half_width_, table_steps_ points an input sample
    // Where out/in reduces to few phases: each phase's weights, from -reach_ to +reach_ around the
    // input sample at or before the output's centre.
    std::uint64_t up_ = 1, down_ = 1; // out_rate / in_rate reduced
    std::int64_t reach_ = 0;
    std::vector<double> weights_;
    std::vector<double> held_; // input samples from held_from_ on
    std::uint64_t held_from_ = 0, fed_ = 0, produced_ = 0;
};

} // namespace kconv
