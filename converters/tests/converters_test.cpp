// Kivo's own converters as programs: round trips, independent decoders (sox, ImageMagick) where
// installed, and hostile inputs that must end in one clear line and a non-zero exit.

#include "kconv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>

namespace fs = std::filesystem;
using kconv::bytes;

namespace {

std::string program(const std::string& name) {
    return std::string(KIVO_PROGRAM_DIR) + "/" + name;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string as_text(const bytes& b) {
    return std::string(b.begin(), b.end());
}

bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

class Converters : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kivo-conv-" + std::to_string(std::random_device()()));
    Converters() { fs::create_directories(dir); }
    ~Converters() override { fs::remove_all(dir); }

    struct result {
        int code;
        std::string out, err;
    };
    // Runs a shell command line in the test's directory; a signal shows as 128 + its number.
    result sh(const std::string& line) {
        const int status = std::system(("cd '" + dir.string() + "' && { " + line + " ; } > out 2> err").c_str());
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return {code, slurp(dir / "out"), slurp(dir / "err")};
    }
    std::string filter(const std::string& converter, const std::string& input) {
        spit(dir / "in", input);
        const auto r = sh("'" + program(converter) + "' < in");
        EXPECT_EQ(r.code, 0) << r.err;
        return r.out;
    }
};

// A bitmap file as the organiser lays it out, rows padded to even bytes, bit 0 the leftmost pixel.
bytes pic_file(int width, int height, const std::vector<std::vector<int>>& planes) {
    const int row = (width + 15) / 16 * 2;
    bytes out{'P', 'I', 'C', 0xDC, 0x30, 0x30};
    kconv::put16(out, static_cast<std::uint16_t>(planes.size()));
    bytes data;
    for (std::size_t i = 0; i < planes.size(); ++i) {
        bytes plane(static_cast<std::size_t>(row * height), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (planes[i][static_cast<std::size_t>(y * width + x)])
                    plane[static_cast<std::size_t>(y * row + x / 8)] |= static_cast<std::uint8_t>(1 << (x % 8));
        kconv::put16(out, 0); // no checksum: the reader warns and converts
        kconv::put16(out, static_cast<std::uint16_t>(width));
        kconv::put16(out, static_cast<std::uint16_t>(height));
        kconv::put16(out, static_cast<std::uint16_t>(plane.size()));
        kconv::put32(out, static_cast<std::uint32_t>(12 * (planes.size() - i - 1) + data.size()));
        data.insert(data.end(), plane.begin(), plane.end());
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace

TEST_F(Converters, CsvToTsvKeepsEveryRecord) {
    const std::pair<const char*, const char*> cases[] = {
        {"a,b\n1,2\n", "a\tb\n1\t2\n"},
        {"a,b\r\n1,2\r\n", "a\tb\n1\t2\n"},
        {"\"x, y\",z\n", "x, y\tz\n"},
        {"\"say \"\"hi\"\"\",2\n", "say \"hi\"\t2\n"},
        {"\"two\nlines\",\"cr\r\nlf\",\"lone\rcr\"\n", "two lines\tcr lf\tlone cr\n"},
        {",,\n\"\",x\n", "\t\t\n\tx\n"},
        {"caf\xC3\xA9,\xE6\x97\xA5\n", "caf\xC3\xA9\t\xE6\x97\xA5\n"},
        {"tab\tinside,x", "tab inside\tx\n"},
        {"", ""},
    };
    for (const auto& [csv, tsv] : cases)
        EXPECT_EQ(filter("csv2tsv", csv), tsv) << csv;
}

TEST_F(Converters, TsvToCsvQuotesWhatNeedsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\tb\n1\t2\n", "a,b\r\n1,2\r\n"},
        {"name\tnote\nAnn\tsays \"hi\", twice\n", "name,note\r\nAnn,\"says \"\"hi\"\", twice\"\r\n"},
        {"a\r\n\tb\r\n", "a\r\n,b\r\n"},
        {"last", "last\r\n"},
        {"", ""},
    };
    for (const auto& [tsv, csv] : cases)
        EXPECT_EQ(filter("tsv2csv", tsv), csv) << tsv;
    EXPECT_EQ(filter("csv2tsv", filter("tsv2csv", "x,1\t\"q\"\t\n")), "x,1\t\"q\"\t\n");
}

TEST_F(Converters, ALargeCsvTakesWellUnderASecond) {
    std::string csv;
    while (csv.size() < 2'600'000)
        csv += "\"Smith, Ann\",\"says \"\"hi\"\"\",12345,\"line\nbreak\",plain text field\n";
    spit(dir / "big.csv", csv);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sh("'" + program("csv2tsv") + "' < big.csv").code, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

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

TEST_F(Converters, PicturesRoundTripAndOpenInImageMagick) {
    std::vector<int> ink(20 * 3), grey(20 * 3);
    for (int i = 0; i < 60; ++i) {
        ink[i] = i % 3 == 0;
        grey[i] = i % 2 == 0;
    }
    spit(dir / "bw.pic", as_text(pic_file(20, 3, {ink})));
    const auto w = sh("'" + program("WSPCX") + "' -W -S bw.pic");
    EXPECT_EQ(w.code, 0);
    EXPECT_EQ(w.err, "WSPCX: bw.pic: bitmap 1: checksum does not match (converted all the same)\n");
    fs::rename(dir / "bw.pic", dir / "original.pic");
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S bw.pcx").code, 0);
    const std::string back = slurp(dir / "bw.pic"), original = slurp(dir / "original.pic");
    EXPECT_EQ(back.substr(20), original.substr(20)) << "the same bits";
    EXPECT_EQ(back.substr(10, 10), original.substr(10, 10)) << "the same size";

    spit(dir / "grey.pic", as_text(pic_file(20, 3, {ink, grey})));
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -W -S grey.pic").code, 0);
    EXPECT_EQ(slurp(dir / "grey.pcx")[3], 8) << "four levels of grey in 8 bits";

    if (!have("identify"))
        GTEST_SKIP() << "ImageMagick is not installed";
    const auto size = sh("identify -format '%w %h' bw.pcx");
    EXPECT_EQ(size.out, "20 3");
    const auto pixels = sh("convert bw.pcx -depth 8 gray:- | od -An -tu1 -v | tr -s ' \\n' ' '");
    std::string expected;
    for (int v : ink)
        expected += v ? " 0" : " 255";
    EXPECT_EQ(pixels.out, expected + " ");

    // A picture drawn by ImageMagick, made into a PCX there, into a bitmap file and back by us.
    ASSERT_EQ(sh("convert -size 40x30 xc:white -fill black -draw 'rectangle 5,5 20,15' -draw 'circle 30,20 33,24' "
                 "-monochrome drawn.png && convert drawn.png drawn.pcx")
                  .code,
              0);
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S drawn.pcx && mv drawn.pcx magick.pcx && '" + program("WSPCX") +
                 "' -W -S drawn.pic")
                  .code,
              0);
    EXPECT_EQ(sh("compare -metric AE drawn.png drawn.pcx null: 2>&1").out, "0");
}

TEST_F(Converters, HostileInputsEndInOneLineAndAFailure) {
    bytes huge_count(reinterpret_cast<const std::uint8_t*>("ALawSoundFile**"),
                     reinterpret_cast<const std::uint8_t*>("ALawSoundFile**") + 16);
    kconv::put16(huge_count, 0x100F);
    kconv::put32(huge_count, 0xFFFFFFF0u);
    huge_count.resize(40, 0);
    bytes pic_outside = pic_file(16, 2, {{std::vector<int>(32, 1)}});
    pic_outside[16] = 0xFF; // the data's offset points past the end
    bytes pic_zero = pic_file(16, 2, {{std::vector<int>(32, 1)}});
    pic_zero[10] = pic_zero[11] = 0;
    bytes pic_many{'P', 'I', 'C', 0xDC, 0x30, 0x30, 0xFF, 0xFF};
    bytes pcx_big(128, 0);
    pcx_big[0] = 0x0A;
    pcx_big[2] = 1;
    pcx_big[3] = 8;
    pcx_big[65] = 1;
    for (int at : {8, 9, 10, 11, 66, 67})
        pcx_big[static_cast<std::size_t>(at)] = 0xFF;
    const std::string riff_big = std::string("RIFF\x24\0\0\0WAVEdata\xFF\xFF\xFF\x7F", 20) + "abc";
    const struct {
        const char* run;
        const char* file;
        std::string content;
    } cases[] = {
        {"wve2wav", "a.wve", ""},
        {"wve2wav", "a.wve", "ALawSound"},
        {"wve2wav", "a.wve", std::string(40, 'x')},
        {"wve2wav", "a.wve", as_text(huge_count)},
        {"wav2wve", "a.wav", ""},
        {"wav2wve", "a.wav", "RIFF"},
        {"wav2wve", "a.wav", riff_big},
        {"wav2wve", "a.wav", std::string("RIFF\x10\0\0\0WAVEfmt \x10\0\0\0", 20) + std::string(16, '\0')},
        {"WSPCX -W -S", "a.pic", ""},
        {"WSPCX -W -S", "a.pic", "PIC"},
        {"WSPCX -W -S", "a.pic", as_text(pic_many)},
        {"WSPCX -W -S", "a.pic", as_text(pic_outside)},
        {"WSPCX -W -S", "a.pic", as_text(pic_zero)},
        {"WSPCX -P -S", "a.pcx", ""},
        {"WSPCX -P -S", "a.pcx", as_text(pcx_big)},
        {"WSPCX -P -S", "a.pcx", std::string(200, '\x0A')},
    };
    for (const auto& c : cases) {
        spit(dir / c.file, c.content);
        const std::string name = std::string(c.run).substr(0, std::string(c.run).find(' '));
        const auto r = sh("'" + program(name) + "'" + std::string(c.run).substr(name.size()) + " " + c.file);
        EXPECT_EQ(r.code, 1) << c.run << " " << c.content.size() << " bytes";
        EXPECT_EQ(r.err.rfind(name + ": " + c.file + ": ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(Converters, OutputsNeverGoThroughALinkOrOntoTheInput) {
    spit(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "a.pcx");
    spit(dir / "a.pic", as_text(pic_file(8, 1, {{std::vector<int>(8, 1)}})));
    const auto r = sh("'" + program("WSPCX") + "' -W -S a.pic");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("the output is a link or a special file"), std::string::npos) << r.err;
    EXPECT_EQ(slurp(dir / "victim"), "precious");

    spit(dir / "same.wav", "RIFF");
    fs::create_directory(dir / "d.wve");
    const auto d = sh("cp same.wav d.wav && '" + program("wav2wve") + "' d.wav");
    EXPECT_EQ(d.code, 1);
}
