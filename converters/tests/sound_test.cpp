// Sound files both ways, checked against sox where it is installed.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

namespace {

// RMS (full scale 1) and zero crossings a second of a 16-bit mono WAVE that wve2wav wrote.
std::pair<double, double> level_and_pitch(const std::string& wav) {
    const bytes b(wav.begin() + 44, wav.end());
    double sum = 0;
    std::size_t crossings = 0;
    const std::size_t n = b.size() / 2;
    for (std::size_t i = 0; i < n; ++i) {
        const double s = static_cast<std::int16_t>(kconv::get16(b, 2 * i)) / 32768.0;
        sum += s * s;
        if (i > 0 && (static_cast<std::int16_t>(kconv::get16(b, 2 * i - 2)) < 0) != (s < 0))
            ++crossings;
    }
    return {std::sqrt(sum / double(n)), double(crossings) * 8000 / double(n) / 2};
}

} // namespace

TEST_F(Converters, SoundRoundTripAgreesWithSox) {
    if (!have("sox"))
        GTEST_SKIP() << "sox is not installed";
    ASSERT_EQ(sh("sox -n -r 8000 -c 1 -b 16 -e signed source.wav synth 0.25 sine 440 vol 0.8").code, 0);
    ASSERT_EQ(sh("cp source.wav tone.wav && '" + program("wav2wve") + "' tone.wav && rm tone.wav && '" +
                 program("wve2wav") + "' tone.wve")
                  .code,
              0);
    const std::string wve = slurp(dir / "tone.wve");
    ASSERT_EQ(wve.size(), 32 + 2000u);
    EXPECT_EQ(wve.substr(0, 16), std::string("ALawSoundFile**\0", 16));
    // sox decodes our A-law bytes to exactly what we decode, and that is the tone within A-law's step.
    spit(dir / "ours.al", wve.substr(32));
    ASSERT_EQ(sh("sox -D -t raw -r 8000 -c 1 -e a-law -b 8 ours.al -b 16 -e signed -t raw sox.raw").code, 0);
    const std::string decoded = slurp(dir / "tone.wav").substr(44), source = slurp(dir / "source.wav");
    EXPECT_EQ(decoded, slurp(dir / "sox.raw"));
    const std::string samples = source.substr(source.size() - decoded.size());
    for (std::size_t i = 0; i + 1 < decoded.size(); i += 2) {
        const auto value = [](const std::string& s, std::size_t at) {
            return static_cast<std::int16_t>(static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1])
                                                                                    << 8);
        };
        const int want = value(samples, i), got = value(decoded, i);
        ASSERT_LE(std::abs(want - got), std::abs(want) / 16 + 16) << "sample " << i / 2;
    }

    // Stereo at another rate is mixed and resampled to 8,000 Hz mono.
    ASSERT_EQ(sh("sox -n -r 44100 -c 2 -b 16 stereo.wav synth 0.5 sine 300").code, 0);
    ASSERT_EQ(sh("'" + program("wav2wve") + "' stereo.wav").code, 0);
    EXPECT_NEAR(static_cast<double>(slurp(dir / "stereo.wve").size()), 32 + 4000, 2);
}

TEST_F(Converters, TrailingSilenceIsAppendedOnce) {
    bytes wve(reinterpret_cast<const std::uint8_t*>("ALawSoundFile**"),
              reinterpret_cast<const std::uint8_t*>("ALawSoundFile**") + 16);
    kconv::put16(wve, 0x100F);
    kconv::put32(wve, 3);
    kconv::put16(wve, 8); // a quarter of a second
    kconv::put16(wve, 5); // repeats are a playback hint
    wve.resize(32, 0);
    wve.insert(wve.end(), {0xD5, 0x55, 0xAA});
    spit(dir / "s.wve", as_text(wve));
    ASSERT_EQ(sh("'" + program("wve2wav") + "' s.wve").code, 0);
    EXPECT_EQ(slurp(dir / "s.wav").size(), 44 + 2 * (3 + 2000u));
}

TEST_F(Converters, WaveFilesAsPeopleRecordThem) {
    if (!have("sox"))
        GTEST_SKIP() << "sox is not installed";
    const std::string to_wve = "'" + program("wav2wve") + "' in.wav && '" + program("wve2wav") + "' in.wve";
    const struct {
        const char* sox; // how the 1 s test file is made
        double rms, hz;  // what comes back: level (0: below 0.005) and pitch
    } cases[] = {
        {"-r 44100 -b 16 in.wav synth 1 sine 1000 vol 0.5", 0.3536, 1000},
        {"-r 44100 -b 16 in.wav synth 1 sine 6000 vol 0.9", 0, 0},
        {"-r 48000 -b 16 in.wav synth 1 sine 5000 vol 0.9", 0, 0},
        {"-r 48000 -b 24 -c 2 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 48000 -e floating-point -b 32 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 22050 -e signed -b 32 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 44100 -e floating-point -b 64 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 8000 -e mu-law -b 8 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 11025 -e a-law -b 8 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 48000 -b 16 -c 6 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
        {"-r 6000 -b 8 in.wav synth 1 sine 440 vol 0.5", 0.3536, 440},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(sh(std::string("sox -n ") + c.sox).code, 0) << c.sox;
        const auto r = sh(to_wve);
        ASSERT_EQ(r.code, 0) << c.sox << ": " << r.err;
        const auto [rms, hz] = level_and_pitch(slurp(dir / "in.wav"));
        if (c.rms == 0) {
            EXPECT_LT(rms, 0.005) << c.sox << ": folded back into the band";
        } else {
            EXPECT_NEAR(20 * std::log10(rms / c.rms), 0, 1) << c.sox;
            EXPECT_NEAR(hz, c.hz, c.hz * 0.01) << c.sox;
        }
    }
}

// At 8,000 Hz nothing is resampled: each sample is A-law coded as it stands, and the organiser's
// own sounds come back sample for sample.
TEST_F(Converters, EightKilohertzIsExact) {
    bytes wav{'R', 'I', 'F', 'F'};
    kconv::put32(wav, 36 + 2000);
    for (char c : std::string("WAVEfmt "))
        wav.push_back(static_cast<std::uint8_t>(c));
    for (std::uint32_t v : {16u, 0x00010001u, 8000u, 16000u, 0x00100002u})
        kconv::put32(wav, v);
    for (char c : std::string("data"))
        wav.push_back(static_cast<std::uint8_t>(c));
    kconv::put32(wav, 2000);
    std::mt19937 random(7);
    for (int i = 0; i < 1000; ++i)
        kconv::put16(wav, static_cast<std::uint16_t>(random()));
    spit(dir / "exact.wav", as_text(wav));
    spit(dir / "exact.wve", "");
    ASSERT_EQ(sh("'" + program("wav2wve") + "' exact.wav").code, 0);
    const std::string wve = slurp(dir / "exact.wve");
    ASSERT_EQ(wve.size(), 32u + 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(
            static_cast<std::uint8_t>(wve[32 + static_cast<std::size_t>(i)]),
            kconv::alaw_encode(static_cast<std::int16_t>(kconv::get16(wav, 44 + 2 * static_cast<std::size_t>(i)))));

    std::error_code missing;
    for (const auto& e : fs::directory_iterator(KIVO_REAL_DATA, missing)) {
        if (e.path().extension() != ".wve")
            continue;
        const std::string original = slurp(e.path());
        spit(dir / "real.wve", original);
        ASSERT_EQ(
            sh("'" + program("wve2wav") + "' real.wve && rm real.wve && '" + program("wav2wve") + "' real.wav").code,
            0);
        const std::string back = slurp(dir / "real.wve");
        const std::size_t samples = kconv::get32(bytes(original.begin(), original.end()), 18);
        EXPECT_EQ(back.substr(32, samples), original.substr(32, samples)) << e.path();
    }
}

// A long low-rate recording: memory holds the output, not many copies of the input.
TEST_F(Converters, ALongRecordingStreamsThroughInFlatMemory) {
    if (sanitized())
        GTEST_SKIP() << "memory is not measured under sanitizers";
    bytes wav{'R', 'I', 'F', 'F'};
    const std::uint32_t samples = 24u << 20; // 52 minutes: more than an organiser holds
    kconv::put32(wav, 36 + samples);
    for (char c : std::string("WAVEfmt "))
        wav.push_back(static_cast<std::uint8_t>(c));
    for (std::uint32_t v : {16u, 0x00010001u, 8000u, 8000u, 0x00080001u})
        kconv::put32(wav, v);
    for (char c : std::string("data"))
        wav.push_back(static_cast<std::uint8_t>(c));
    kconv::put32(wav, samples);
    {
        std::ofstream out(dir / "long.wav", std::ios::binary);
        out << as_text(wav);
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(128 + 60 * std::sin(i * 0.6));
        for (std::uint32_t i = 0; i < samples >> 20; ++i)
            out << block;
    }
    const auto r = run_limited({program("wav2wve")}, dir / "long.wav", false, dir / "out");
    ASSERT_EQ(r.code, 0);
    EXPECT_EQ(fs::file_size(dir / "long.wve"), 32u + samples);
    const std::string head = slurp(dir / "long.wve").substr(0, 32);
    EXPECT_EQ(kconv::get32(bytes(head.begin(), head.end()), 18), samples) << "the count, written at the end";
    EXPECT_LT(r.peak_kb, 16 * 1024) << "KB, for a 24 MB output";
    EXPECT_NE(slurp(dir / "out.err").find("larger than an organiser can hold (52 minutes, 24 MB)"), std::string::npos)
        << slurp(dir / "out.err");
}
