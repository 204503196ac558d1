// wav2wve FILE.wav: a WAVE file (PCM of 8 or 16 bits, or A-law; any rate; mono or stereo) to the
// organiser's sound file beside it: mixed to mono, resampled to 8,000 Hz, A-law coded.

#include "alaw.h"
#include "kconv.h"
#include "wve.h"

#include <cmath>
#include <cstring>

using namespace kconv;

namespace {

struct wave {
    std::uint16_t format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0;
    std::size_t data_at = 0, data_size = 0;
};

bool tag_at(const bytes& file, std::size_t at, const char* tag) {
    return at + 4 <= file.size() && std::memcmp(file.data() + at, tag, 4) == 0;
}

wave parse(const bytes& file) {
    if (!tag_at(file, 0, "RIFF") || !tag_at(file, 8, "WAVE"))
        throw error("not a WAVE file (bad signature)");
    wave w;
    bool have_format = false;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::uint32_t size = get32(file, at + 4);
        if (size > file.size() - at - 8)
            throw error("a chunk is larger than the file");
        if (tag_at(file, at, "fmt ") && size >= 16) {
            w.format = get16(file, at + 8);
            w.channels = get16(file, at + 10);
            w.rate = get32(file, at + 12);
            w.bits = get16(file, at + 22);
            have_format = true;
        } else if (tag_at(file, at, "data")) {
            w.data_at = at + 8;
            w.data_size = size;
            break;
        }
        at += 8 + size + (size & 1);
    }
    if (!have_format || w.data_at == 0)
        throw error("not a WAVE file (no format or no data)");
    const bool pcm = w.format == 1 && (w.bits == 8 || w.bits == 16);
    const bool alaw = w.format == 6 && w.bits == 8;
    if (!(pcm || alaw) || w.channels < 1 || w.channels > 2 || w.rate < 1000 || w.rate > 384000)
        throw error("unsupported WAVE data (PCM of 8 or 16 bits or A-law, mono or stereo, 1 to 384 kHz)");
    return w;
}

std::vector<double> mono_samples(const bytes& file, const wave& w) {
    const std::size_t width = w.bits / 8;
    const std::size_t frames = w.data_size / (width * w.channels);
    std::vector<double> out(frames);
    for (std::size_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (std::size_t c = 0; c < w.channels; ++c) {
            const std::size_t at = w.data_at + (f * w.channels + c) * width;
            if (w.format == 6)
                sum += alaw_decode(file[at]);
            else if (width == 1)
                sum += (file[at] - 128) * 256.0;
            else
                sum += static_cast<std::int16_t>(get16(file, at));
        }
        out[f] = sum / w.channels;
    }
    return out;
}

// Plain linear interpolation between the neighbouring input samples.
std::vector<double> resample(const std::vector<double>& in, std::uint32_t rate) {
    if (rate == wve_rate || in.empty())
        return in;
    const std::size_t n = static_cast<std::size_t>(std::floor(double(in.size()) * wve_rate / rate));
    std::vector<double> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double pos = double(i) * rate / wve_rate;
        const auto k = static_cast<std::size_t>(pos);
        const double next = k + 1 < in.size() ? in[k + 1] : in[k];
        out[i] = in[k] + (next - in[k]) * (pos - double(k));
    }
    return out;
}

bytes wve_file(const std::vector<double>& samples) {
    bytes out(wve_signature, wve_signature + sizeof wve_signature);
    put16(out, 0x100F); // format version
    put32(out, static_cast<std::uint32_t>(samples.size()));
    put16(out, 0); // no silence appended
    put16(out, 1); // played once
    out.resize(wve_header_size, 0);
    for (double s : samples)
        out.push_back(alaw_encode(static_cast<std::int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, s))))));
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: wav2wve FILE.wav\n"
                        "Writes FILE.wve beside it: the WAVE file's sound mixed to mono, resampled to\n"
                        "8,000 Hz and A-law coded, as the organiser plays it.\n";
    return convert_beside("wav2wve", usage, argc, argv, argc == 2, [](const bytes& file) {
        const wave w = parse(file);
        const auto samples = resample(mono_samples(file, w), w.rate);
        if (samples.size() > 0xFFFFFFFFu)
            throw error("too long for a sound file");
        return std::make_pair(std::string(".wve"), wve_file(samples));
    });
}
