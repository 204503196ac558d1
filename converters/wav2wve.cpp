// wav2wve FILE.wav: a WAVE file to the organiser's sound file beside it: mixed to mono, resampled to
// 8,000 Hz through a low-pass (nothing above 4 kHz folds back), A-law coded. Reads PCM of 8, 16, 24
// or 32 bits, IEEE float of 32 or 64 bits, A-law and mu-law, also inside WAVE_FORMAT_EXTENSIBLE, with
// 1 to 8 channels. The samples stream through to the output: memory stays flat.

#include "alaw.h"
#include "kconv.h"
#include "output_set.h"
#include "resampler.h"
#include "wve.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace kconv;

namespace {

enum format_tag : std::uint16_t { pcm = 1, ieee_float = 3, a_law = 6, mu_law = 7, extensible = 0xFFFE };

struct wave {
    std::uint16_t format = 0, channels = 0, bits = 0;
    std::uint32_t rate = 0;
    std::uint64_t data_at = 0, data_size = 0;
    std::size_t width() const { return bits / 8u; }
};

class wave_file {
public:
    explicit wave_file(const std::string& path) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec))
            throw error("not a regular file");
        in_.open(std::filesystem::u8path(path), std::ios::binary);
        if (!in_)
            throw error("cannot read the file");
        size_ = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    }
    bytes read(std::uint64_t at, std::size_t n) {
        bytes b(n);
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(at));
        in_.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(n));
        b.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in_.gcount())));
        return b;
    }
    std::uint64_t size() const { return size_; }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

void read_format(const bytes& fmt, wave& w) {
    w.format = get16(fmt, 0);
    w.channels = get16(fmt, 2);
    w.rate = get32(fmt, 4);
    w.bits = get16(fmt, 14);
    // WAVE_FORMAT_EXTENSIBLE names the real format in the first word of its sub-format GUID.
    if (w.format == extensible)
        w.format = fmt.size() >= 26 ? get16(fmt, 24) : 0;
}

bool supported(const wave& w) {
    const bool known = (w.format == pcm && (w.bits == 8 || w.bits == 16 || w.bits == 24 || w.bits == 32)) ||
                       (w.format == ieee_float && (w.bits == 32 || w.bits == 64)) ||
                       ((w.format == a_law || w.format == mu_law) && w.bits == 8);
    return known && w.channels >= 1 && w.channels <= 8 && w.rate >= 1000 && w.rate <= 384000;
}

// Chunks are walked by their headers only; LIST, fact, cue and the like are skipped.
wave parse(wave_file& file) {
    const bytes head = file.read(0, 12);
    if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0)
        throw error("not a WAVE file (bad signature)");
    wave w;
    bool have_format = false;
    for (std::uint64_t at = 12; at + 8 <= file.size();) {
        const bytes chunk = file.read(at, 8);
        const std::uint32_t size = get32(chunk, 4);
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0 && size >= 16 && size <= 1024) {
            read_format(file.read(at + 8, size), w);
            have_format = true;
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            w.data_at = at + 8;
            w.data_size = size;
            break;
        }
        at += 8 + std::uint64_t{size} + (size & 1);
    }
    if (!have_format || w.data_at == 0)
        throw error("not a WAVE file (no format or no data)");
    if (!supported(w))
        throw error("unsupported WAVE data (PCM of 8 to 32 bits, float, A-law or mu-law; 1 to 8 channels; "
                    "1 to 384 kHz)");
    if (w.data_size > file.size() - w.data_at) {
        warn("the sound data runs past the end of the file: converted what is there");
        w.data_size = file.size() - w.data_at;
    }
    return w;
}

std::int16_t mulaw_decode(std::uint8_t code) {
    code = static_cast<std::uint8_t>(~code);
    const int magnitude = (((code & 0x0F) << 3) + 0x84) << ((code >> 4) & 7);
    return static_cast<std::int16_t>(code & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

// One sample as a fraction of full scale.
double sample_at(const std::uint8_t* p, const wave& w) {
    switch (w.format) {
    case a_law:
        return alaw_decode(*p) / 32768.0;
    case mu_law:
        return mulaw_decode(*p) / 32768.0;
    case ieee_float: {
        double v;
        if (w.bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            v = f;
        } else {
            std::memcpy(&v, p, 8);
        }
        return std::isfinite(v) ? std::clamp(v, -1.0, 1.0) : 0.0;
    }
    default:
        if (w.bits == 8)
            return (*p - 128) / 128.0;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < w.width(); ++i)
            v |= std::uint64_t{p[i]} << (8 * i);
        const int shift = 64 - w.bits; // the sign bit to the top, then back with the sign spread
        return static_cast<double>(static_cast<std::int64_t>(v << shift) >> shift) / std::ldexp(1.0, w.bits - 1);
    }
}

std::uint8_t coded(double s) {
    return alaw_encode(static_cast<std::int16_t>(std::lround(std::clamp(s * 32768.0, -32768.0, 32767.0))));
}

// The organiser's header for `count` samples, played once, no silence appended.
bytes wve_header(std::uint64_t count) {
    if (count > 0xFFFFFFFFu)
        throw error("too long for a sound file");
    bytes head(wve_signature, wve_signature + sizeof wve_signature);
    put16(head, 0x100F); // format version
    put32(head, static_cast<std::uint32_t>(count));
    put16(head, 0); // no silence appended
    put16(head, 1); // played once
    head.resize(wve_header_size, 0);
    return head;
}

// Frames mixed to mono (the channels' mean, which never clips), resampled unless already 8,000 Hz,
// coded and written a block at a time: memory stays flat whatever the recording's length.
void convert(wave_file& file, const wave& w, const std::string& input) {
    output_set set(input);
    const std::size_t out = set.add(beside(input, ".wve"));
    set.write(out, wve_header(0));
    bytes coded_block;
    std::uint64_t count = 0;
    const auto flush = [&] {
        set.write(out, coded_block);
        count += coded_block.size();
        coded_block.clear();
    };
    resampler rs(w.rate, wve_rate, [&coded_block](double s) { coded_block.push_back(coded(s)); });
    const std::size_t frame = w.width() * w.channels;
    const std::uint64_t frames = w.data_size / frame;
    std::vector<double> mono;
    for (std::uint64_t done = 0; done < frames;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(frames - done, 65536));
        const bytes block = file.read(w.data_at + done * frame, n * frame);
        mono.assign(block.size() / frame, 0.0);
        for (std::size_t f = 0; f < mono.size(); ++f) {
            for (std::size_t c = 0; c < w.channels; ++c)
                mono[f] += sample_at(block.data() + f * frame + c * w.width(), w);
            mono[f] /= w.channels;
        }
        if (w.rate == wve_rate)
            std::transform(mono.begin(), mono.end(), std::back_inserter(coded_block), coded);
        else
            rs.feed(mono.data(), mono.size());
        flush();
        if (mono.size() < n)
            break;
        done += n;
    }
    if (w.rate != wve_rate)
        rs.finish();
    flush();
    set.write_at(out, 0, wve_header(count));
    set.commit();
    if (count + wve_header_size > organiser_file_limit)
        warn("the sound file is larger than an organiser can hold (" + std::to_string(count / wve_rate / 60) +
             " minutes, " + std::to_string((count + wve_header_size) >> 20) + " MB)");
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: wav2wve FILE.wav\n"
                        "Writes FILE.wve beside it: the WAVE file's sound mixed to mono, resampled to\n"
                        "8,000 Hz and A-law coded, as the organiser plays it.\n";
    return convert_file_arg("wav2wve", usage, argc, argv, argc == 2, [](const std::string& input) {
        wave_file file(input);
        convert(file, parse(file), input);
    });
}
