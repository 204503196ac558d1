// wve2wav FILE.wve: the organiser's sound file to a WAVE file beside it (16-bit PCM, 8,000 Hz, mono):
// the samples once, then the silence the file asks to append.

#include "alaw.h"
#include "kconv.h"
#include "wve.h"

#include <cstring>

using namespace kconv;

namespace {

bytes wav_file(const std::vector<std::int16_t>& samples) {
    const auto data_size = static_cast<std::uint32_t>(samples.size() * 2);
    bytes out{'R', 'I', 'F', 'F'};
    put32(out, 36 + data_size);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, wve_rate);
    put32(out, wve_rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, data_size);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return out;
}

bytes decode(const bytes& file) {
    if (file.size() < wve_header_size || std::memcmp(file.data(), wve_signature, sizeof wve_signature) != 0)
        throw error("not a sound file (bad signature)");
    const std::uint32_t count = get32(file, 18);
    if (count > file.size() - wve_header_size)
        throw error("not a sound file (" + std::to_string(count) + " samples declared, " +
                    std::to_string(file.size() - wve_header_size) + " present)");
    const std::size_t silence = std::size_t{get16(file, 22)} * wve_rate / 32;
    std::vector<std::int16_t> samples;
    samples.reserve(count + silence);
    for (std::size_t i = 0; i < count; ++i)
        samples.push_back(alaw_decode(file[wve_header_size + i]));
    samples.resize(samples.size() + silence, 0);
    return wav_file(samples);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: wve2wav FILE.wve\n"
                        "Writes FILE.wav beside it: the organiser's A-law sound as 16-bit PCM WAVE, 8,000 Hz.\n";
    return convert_file_arg("wve2wav", usage, argc, argv, argc == 2, [](const std::string& input) {
        const bytes file = read_organiser_file(input, signature({wve_signature, sizeof wve_signature}, "a sound file"));
        write_output(input, beside(input, ".wav"), decode(file));
    });
}
