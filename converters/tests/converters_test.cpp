// Kivo's own converters as programs: round trips, independent decoders (sox, ImageMagick) where
// installed, and hostile inputs that must end in one clear line and a non-zero exit.

#include "alaw.h"
#include "fields.h"
#include "kconv.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// Sanitizers make programs slower and larger: the timing and memory tests do not hold there.
bool sanitized() {
#ifdef KIVO_SANITIZED
    return true;
#else
    return false;
#endif
}

bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

struct run_result {
    int code; // 128 + n for a signal, -1 for a hang
    std::size_t out_size;
    double cpu_seconds; // its own time on the processor, whatever else the machine runs
    long peak_kb;
};

// Runs a converter on `file` (or on its standard input) with a time limit, nothing else around it;
// its error output goes to OUT.err.
run_result run_limited(const std::vector<std::string>& args, const fs::path& file, bool on_stdin, const fs::path& out) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open(on_stdin ? file.c_str() : "/dev/null", O_RDONLY);
        const int to = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errors = ::open((out.string() + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(in, 0);
        ::dup2(to, 1);
        ::dup2(errors, 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        if (!on_stdin)
            argv.push_back(const_cast<char*>(file.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return {-1, 0, 0, 0};
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), fs::file_size(out), cpu, usage.ru_maxrss};
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
    if (sanitized())
        GTEST_SKIP() << "time is not measured under sanitizers";
    std::string csv;
    while (csv.size() < 2'600'000)
        csv += "\"Smith, Ann\",\"says \"\"hi\"\"\",12345,\"line\nbreak\",plain text field\n";
    spit(dir / "big.csv", csv);
    const auto r = run_limited({program("csv2tsv")}, dir / "big.csv", true, dir / "out");
    EXPECT_EQ(r.code, 0);
    EXPECT_LT(r.cpu_seconds, 1.0);
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

// An 8x8 block's mean level at (bx, by) of a grey picture `width` wide.
double block_mean(const std::string& grey, std::size_t width, std::size_t bx, std::size_t by) {
    double sum = 0;
    for (std::size_t y = by * 8; y < by * 8 + 8; ++y)
        for (std::size_t x = bx * 8; x < bx * 8 + 8; ++x)
            sum += static_cast<std::uint8_t>(grey[y * width + x]);
    return sum / 64;
}

TEST_F(Converters, APhotoKeepsItsShadesOnTheOrganisersThreeLevels) {
    if (!have("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    ASSERT_EQ(sh("convert -seed 7 -size 640x480 plasma:fractal -blur 0x3 -type TrueColor photo.pcx && "
                 "convert photo.pcx -grayscale Rec601Luma -depth 8 gray:source.grey")
                  .code,
              0);
    const auto r = sh("'" + program("WSPCX") + "' -P -S photo.pcx 2>&1");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("photo.pcx: the picture is 640x480, larger than the organiser's 480x160 screen"),
              std::string::npos)
        << r.out;
    ASSERT_EQ(sh("mv photo.pcx source.pcx && '" + program("WSPCX") +
                 "' -W -S photo.pic && convert photo.pcx -depth 8 gray:result.grey")
                  .code,
              0);
    const std::string source = slurp(dir / "source.grey"), result = slurp(dir / "result.grey");
    ASSERT_EQ(result.size(), 640u * 480u);
    double worst = 0, worst_nearest = 0;
    std::string nearest = source; // what each pixel's nearest level alone gives
    for (char& c : nearest)
        c = static_cast<char>(static_cast<std::uint8_t>(c) < 85 ? 0 : static_cast<std::uint8_t>(c) < 213 ? 170 : 255);
    for (std::size_t by = 0; by < 60; ++by)
        for (std::size_t bx = 0; bx < 80; ++bx) {
            const double wanted = block_mean(source, 640, bx, by);
            worst = std::max(worst, std::abs(block_mean(result, 640, bx, by) - wanted));
            worst_nearest = std::max(worst_nearest, std::abs(block_mean(nearest, 640, bx, by) - wanted));
        }
    EXPECT_LE(worst, 40) << "levels, the worst 8x8 block";
    EXPECT_GT(worst_nearest, 40) << "the picture tells the two apart";
}

TEST_F(Converters, APictureTooLargeForABitmapFileIsRefusedBeforeItIsDecoded) {
    // 1-bit, 65,535 pixels wide, 4,000 rows: a megabyte of runs that would decode to 32 MB.
    bytes pcx{0x0A, 5, 1, 1};
    for (unsigned v : {0u, 0u, 65534u, 3999u, 72u, 72u})
        kconv::put16(pcx, static_cast<std::uint16_t>(v));
    pcx.resize(65, 0);
    pcx.push_back(1);
    kconv::put16(pcx, 8192);
    pcx.resize(128, 0);
    for (int i = 0; i <= 4000 * 8192 / 63; ++i) { // runs of 63 bytes
        pcx.push_back(0xFF);
        pcx.push_back(0);
    }
    spit(dir / "wide.pcx", as_text(pcx));
    const auto r = run_limited({program("WSPCX"), "-P", "-S"}, dir / "wide.pcx", false, dir / "out");
    EXPECT_EQ(r.code, 1);
    EXPECT_LT(r.peak_kb, 16 * 1024) << "KB";
    EXPECT_NE(slurp(dir / "out.err").find("too large for a bitmap file (65535x4000)"), std::string::npos)
        << slurp(dir / "out.err");
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

namespace {

// Record framing of Data files: a word of length (bits 0-11) and type (bits 12-15), then the data.
std::string dbf_record(unsigned type, const std::string& data) {
    bytes frame;
    kconv::put16(frame, static_cast<std::uint16_t>(type << 12 | data.size()));
    return as_text(frame) + data;
}

std::string qstr(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}

std::string dbf_file(const std::string& records) {
    return std::string("OPLDatabaseFile\0\x0F\x10\x16\x00\x0F\x10", 22) + records;
}

// Word files: the 40-byte header, then records of a type word, a length word and the data.
std::string wrd_record(unsigned type, const std::string& data) {
    bytes frame;
    kconv::put16(frame, static_cast<std::uint16_t>(type));
    kconv::put16(frame, static_cast<std::uint16_t>(data.size()));
    return as_text(frame) + data;
}

std::string wrd_file(const std::string& records, unsigned version = 1) {
    bytes head(reinterpret_cast<const std::uint8_t*>("PSIONWPDATAFILE"),
               reinterpret_cast<const std::uint8_t*>("PSIONWPDATAFILE") + 16);
    kconv::put16(head, static_cast<std::uint16_t>(version));
    kconv::put16(head, version == 1 ? 0 : 1);
    head.resize(36, 0xEA);
    kconv::put16(head, version == 1 ? 0xEAEA : 0);
    head.resize(40, 0);
    return as_text(head) + records;
}

// A style (type 6) or emphasis (type 7) record: code, attribute bits, inherit mask, alignment, and
// other words of a style by their offset (24 type size, 28 left indent, 32 first line, 44 outline).
std::string wrd_format(unsigned type, const char* code, unsigned attributes, unsigned inherit, unsigned align,
                       std::initializer_list<std::pair<std::size_t, int>> words = {}) {
    std::string r(80, '\0');
    r.replace(0, 2, code);
    r[22] = static_cast<char>(attributes);
    r[26] = static_cast<char>(inherit);
    r[34] = static_cast<char>(align);
    for (const auto& [at, value] : words) {
        r[at] = static_cast<char>(value & 0xFF);
        r[at + 1] = static_cast<char>(value >> 8 & 0xFF);
    }
    return wrd_record(type, type == 7 ? r.substr(0, 28) : r);
}

std::string wrd_run(unsigned length, const char* style, const char* emphasis) {
    bytes b;
    kconv::put16(b, static_cast<std::uint16_t>(length));
    return as_text(b) + style + emphasis;
}

} // namespace

TEST_F(Converters, DataFilesBecomeTables) {
    std::string real(8, '\0');
    const double one_and_a_half = 1.5, tenth = 0.1;
    std::memcpy(real.data(), &one_and_a_half, 8);
    std::string tenth_bytes(8, '\0');
    std::memcpy(tenth_bytes.data(), &tenth, 8);
    const std::string types = dbf_record(2, std::string("\x03\x00\x01\x02", 4));
    const std::string labels = dbf_record(3, dbf_record(4, qstr("Name") + qstr("Tel")));
    const struct {
        const char* what;
        std::string file;
        std::string tsv;
    } cases[] = {
        {"every field type and labels",
         dbf_file(types + dbf_record(1, qstr("Ann") + std::string("\x07\x00\xA0\x86\x01\x00", 6) + real) +
                  dbf_record(1, qstr("Bob") + std::string("\xFF\xFF\x60\x79\xFE\xFF", 6) + tenth_bytes) + labels),
         "Name\tTel\tField3\tField4\nAnn\t7\t100000\t1.5\nBob\t-1\t-100000\t0.1\n"},
        {"short, deleted and private records",
         dbf_file(types + dbf_record(1, qstr("Cy")) + dbf_record(0, qstr("gone")) + dbf_record(5, "private")),
         "Field1\tField2\tField3\tField4\nCy\t\t\t\n"},
        {"code page 850 and control bytes",
         dbf_file(dbf_record(2, "\x03\x03") + dbf_record(1, qstr("caf\x82 \x81\xE1\x9C \xB3\xC4") + qstr("a\x15"
                                                                                                         "b\tc\x05"
                                                                                                         "d"))),
         "Field1\tField2\ncaf\xC3\xA9 \xC3\xBC\xC3\x9F\xC2\xA3 \xE2\x94\x82\xE2\x94\x80\ta b cd\n"},
        {"no records", dbf_file(types), "Field1\tField2\tField3\tField4\n"},
    };
    for (const auto& c : cases) {
        spit(dir / "in.dbf", c.file);
        const auto r = sh("'" + program("dbf2tsv") + "' in.dbf");
        EXPECT_EQ(r.code, 0) << c.what << r.err;
        EXPECT_EQ(r.out, c.tsv) << c.what;
    }
}

TEST_F(Converters, TablesBecomeDataFilesAndBack) {
    const std::string table = "Name\tTown\tNote\nAnn\tK\xC3\xB6ln\t\nBob\t\xC2\xA3 5\tsays \"hi\"\n\t\t\n";
    spit(dir / "in.tsv", table);
    const auto r = sh("'" + program("tsv2dbf") + "' < in.tsv > back.dbf && '" + program("dbf2tsv") + "' back.dbf");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, table);

    spit(dir / "wide.tsv", "A\tB\n" + std::string(300, 'x') + "\t\xE2\x82\xAC\n");
    const auto cut = sh("'" + program("tsv2dbf") + "' < wide.tsv > cut.dbf && '" + program("dbf2tsv") + "' cut.dbf");
    EXPECT_EQ(cut.code, 0);
    EXPECT_EQ(cut.out, "A\tB\n" + std::string(254, 'x') + "\t?\n");
    EXPECT_NE(cut.err.find("1 field(s) longer than 254 characters were cut"), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find("1 character(s) the organiser cannot show became '?'"), std::string::npos) << cut.err;
}

TEST_F(Converters, WordFilesBecomeTextAndHtml) {
    const std::string formats = wrd_format(6, "BT", 0, 0, 0) + wrd_format(6, "CE", 1, 0, 2) +
                                wrd_format(7, "NN", 0, 0x1F, 0) + wrd_format(7, "BB", 2, 0x1D, 0) +
                                wrd_format(7, "SU", 8, 0x17, 0);
    // "Hi <b><&></b> you" / centred, underlined "x" with superscript "2"; then a soft hyphen, a
    // non-breaking space and a forced line break.
    const std::string text = std::string("Hi <&> you\0x2\0a\x0E"
                                         "b\x0F"
                                         "c\x15"
                                         "d",
                                         21);
    const std::string runs = wrd_run(3, "BT", "NN") + wrd_run(3, "BT", "BB") + wrd_run(5, "BT", "NN") +
                             wrd_run(1, "CE", "NN") + wrd_run(2, "CE", "SU") + wrd_run(8, "BT", "NN");
    const std::string file =
        wrd_file(wrd_record(1, std::string(10, '\0')) + formats + wrd_record(8, text) + wrd_record(9, runs));
    spit(dir / "doc.wrd", file);
    const auto t = sh("'" + program("WRD2HTML") + "' -t doc.wrd");
    EXPECT_EQ(t.code, 0);
    EXPECT_EQ(t.out, "Hi <&> you\nx2\nab\xC2\xA0"
                     "c\nd\n");
    EXPECT_EQ(t.err, "WRD2HTML: doc.wrd: byte 21 taken as a forced line break (undocumented)\n");
    const auto h = sh("'" + program("WRD2HTML") + "' -h doc.wrd");
    EXPECT_EQ(h.code, 0);
    EXPECT_NE(h.out.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(h.out.find("<p class=\"s-BT\">Hi <b>&lt;&amp;&gt;</b> you</p>"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("<p class=\"s-CE\"><u>x</u><u><sup>2</sup></u></p>"), std::string::npos) << h.out;
    EXPECT_NE(h.out.find("p.s-CE { margin: 0pt 0pt 0pt 0pt; text-indent: 0pt; text-align: center; }"),
              std::string::npos)
        << h.out;
    EXPECT_NE(h.out.find("<p class=\"s-BT\">a&shy;b&nbsp;c<br>d</p>"), std::string::npos) << h.out;
    if (have("xmllint")) {
        spit(dir / "doc.html", h.out);
        EXPECT_EQ(sh("xmllint --html --noout doc.html").err, "");
    }

    spit(dir / "empty.wrd", wrd_file(wrd_record(8, "")));
    EXPECT_EQ(sh("'" + program("WRD2HTML") + "' -t empty.wrd").out, "\n");
    EXPECT_NE(sh("'" + program("WRD2HTML") + "' -h empty.wrd").out.find("<p><br></p>"), std::string::npos)
        << "an empty paragraph keeps its line";
    spit(dir / "locked.wrd", wrd_file(wrd_record(8, "secret"), 256));
    const auto locked = sh("'" + program("WRD2HTML") + "' -h locked.wrd");
    EXPECT_EQ(locked.code, 2);
    EXPECT_EQ(locked.err, "WRD2HTML: locked.wrd: the file is protected by a password\n");
}

// A style's outline level makes a heading; its paragraph format one CSS rule; twips become points.
TEST_F(Converters, WordsOutlineAndStylesInHtml) {
    const std::string formats = wrd_format(6, "BT", 0, 0, 3, {{24, 240}, {40, 240}, {44, 9}}) +
                                wrd_format(6, "HA", 2, 0, 0, {{24, 320}, {40, 240}, {44, 1}}) +
                                wrd_format(6, "HF", 0, 0, 2, {{44, 6}}) + wrd_format(6, "H7", 0, 0, 0, {{44, 7}}) +
                                wrd_format(6, "BL", 0, 0, 0, {{28, 720}, {30, 100}, {32, 360}, {38, 60}, {44, 9}}) +
                                wrd_format(6, "<\"", 0, 0, 0, {{44, 2}}) + wrd_format(7, "NN", 0, 0x1F, 0);
    const std::string text = std::string("Title\0\0item\0six\0seven\0odd", 25);
    const std::string runs = wrd_run(6, "HA", "NN") + wrd_run(1, "BT", "NN") + wrd_run(5, "BL", "NN") +
                             wrd_run(4, "HF", "NN") + wrd_run(6, "H7", "NN") + wrd_run(4, "<\"", "NN");
    spit(dir / "outline.wrd", wrd_file(formats + wrd_record(8, text) + wrd_record(9, runs)));
    const auto h = sh("'" + program("WRD2HTML") + "' -h outline.wrd");
    ASSERT_EQ(h.code, 0) << h.err;
    for (const char* part : {
             "<h1 class=\"s-HA\"><b>Title</b></h1>\n<p class=\"s-BT\"><br></p>\n<p class=\"s-BL\">item</p>\n"
             "<h6 class=\"s-HF\">six</h6>\n<p class=\"s-H7\">seven</p>\n<h2 class=\"s-_3C_22\">odd</h2>\n",
             "h1, h2, h3, h4, h5, h6 { font-size: 1em; font-weight: normal; margin: 1em 0; }",
             "p.s-BT { margin: 0pt 0pt 12pt 0pt; text-indent: 0pt; font-size: 12pt; text-align: justify; }",
             "h1.s-HA { margin: 0pt 0pt 12pt 0pt; text-indent: 0pt; font-size: 16pt; text-align: left; }",
             "p.s-BL { margin: 3pt 5pt 0pt 36pt; text-indent: -18pt; text-align: left; }",
         })
        EXPECT_NE(h.out.find(part), std::string::npos) << part << "\n" << h.out;
    EXPECT_EQ(sh("'" + program("WRD2HTML") + "' -t outline.wrd").out, "Title\n\nitem\nsix\nseven\nodd\n");
}

TEST_F(Converters, HostileDataAndWordFiles) {
    const struct {
        const char* run;
        std::string content;
    } cases[] = {
        {"dbf2tsv", ""},
        {"dbf2tsv", "OPLDatabase"},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x03")).substr(0, 24)},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x03") + std::string("\x05\x10\x09x", 4))},
        {"dbf2tsv", dbf_file(dbf_record(2, "\x09"))},
        {"dbf2tsv", dbf_file(dbf_record(1, qstr("x")))},
        {"dbf2tsv", std::string("OPLDatabaseFile\0\x0F\x10\xFF\xFF\x0F\x10", 22)},
        {"WRD2HTML -t", ""},
        {"WRD2HTML -t", wrd_file(wrd_record(8, "abc")).substr(0, 45)},
        {"WRD2HTML -t", wrd_file(wrd_record(8, "abc") + std::string("\x08\x00\xFF\xFF", 4))},
        {"WRD2HTML -t", wrd_file(wrd_record(99, "abc"))},
    };
    for (const auto& c : cases) {
        spit(dir / "bad", c.content);
        const std::string name = std::string(c.run).substr(0, std::string(c.run).find(' '));
        const auto r = sh("'" + program(name) + "'" + std::string(c.run).substr(name.size()) + " bad");
        EXPECT_EQ(r.code, 1) << c.run << " " << c.content.size() << " bytes: " << r.err;
        EXPECT_EQ(r.err.rfind(name + ": bad: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

namespace {

fs::path real(const std::string& name) {
    return fs::path(KIVO_REAL_DATA) / name;
}

// A bitmap file's bitmaps: size and data, as its header gives them.
struct bitmap {
    unsigned width, height;
    std::string data;
};
std::vector<bitmap> bitmaps_of(const std::string& pic) {
    const bytes b(pic.begin(), pic.end());
    std::vector<bitmap> out;
    for (std::size_t i = 0, n = kconv::get16(b, 6); i < n; ++i) {
        const std::size_t at = 8 + i * 12, data = at + 12 + kconv::get32(b, at + 8);
        out.push_back({kconv::get16(b, at + 2), kconv::get16(b, at + 4), pic.substr(data, kconv::get16(b, at + 6))});
    }
    return out;
}

// Only the pixels: the bits that pad each row to whole words are not part of the picture.
std::string pixels(const bitmap& b) {
    const std::size_t row = (b.width + 15) / 16 * 2;
    std::string out = b.data;
    for (std::size_t y = 0; y < b.height; ++y)
        for (std::size_t x = b.width; x < row * 8; ++x)
            out[y * row + x / 8] = static_cast<char>(out[y * row + x / 8] & ~(1 << (x % 8)));
    return out;
}

std::size_t bits_set(const std::string& data) {
    std::size_t n = 0;
    for (unsigned char c : data)
        n += static_cast<std::size_t>(__builtin_popcount(c));
    return n;
}

} // namespace

// Icons drawn in black, silver and white: silver is the organiser's grey, and the way back is exact.
TEST_F(Converters, RealIconsKeepTheirGrey) {
    if (!fs::exists(real("pcx-Psion3-Wari-Wari48.pcx")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const struct {
        const char* file;
        std::size_t black, grey_only;
    } cases[] = {{"pcx-Psion3-Wari-Wari48.pcx", 556, 616},
                 {"pcx-Psion3-Vector-Vector48.pcx", 364, 440},
                 {"pcx-Psion3-Wari-Wari24.pcx", 192, 0}};
    for (const auto& c : cases) {
        fs::copy_file(real(c.file), dir / "icon.pcx", fs::copy_options::overwrite_existing);
        ASSERT_EQ(sh("'" + program("WSPCX") + "' -P -S icon.pcx").code, 0) << c.file;
        const std::string pic = slurp(dir / "icon.pic");
        const auto planes = bitmaps_of(pic);
        ASSERT_EQ(planes.size(), c.grey_only ? 2u : 1u) << c.file;
        EXPECT_EQ(bits_set(planes[0].data), c.black) << c.file;
        if (c.grey_only) {
            EXPECT_EQ(bits_set(planes[1].data), c.grey_only) << c.file << ": silver and darker greys are grey";
        }
        ASSERT_EQ(sh("mv icon.pic back.pic && '" + program("WSPCX") + "' -W -S back.pic && mv back.pcx again.pcx && '" +
                     program("WSPCX") + "' -P -S again.pcx")
                      .code,
                  0);
        EXPECT_EQ(slurp(dir / "again.pic"), pic) << c.file << ": bitmap to PCX and back, bit for bit";
    }
}

// Every picture of every genuine bitmap file comes out, as its planes say, and goes back unchanged.
TEST_F(Converters, EveryPictureOfARealBitmapFile) {
    std::vector<fs::path> files;
    std::error_code missing;
    for (const auto& e : fs::directory_iterator(KIVO_REAL_DATA, missing))
        if (e.path().extension() == ".pic")
            files.push_back(e.path());
    if (files.empty())
        GTEST_SKIP() << "the genuine files are not beside the project";
    for (const auto& file : files) {
        const std::string pic = slurp(file);
        const auto maps = bitmaps_of(pic);
        fs::copy_file(file, dir / "all.pic", fs::copy_options::overwrite_existing);
        const auto w = sh("'" + program("WSPCX") + "' -W -S all.pic");
        ASSERT_EQ(w.code, 0) << file << w.err;
        std::size_t k = 0;
        for (std::size_t i = 0; i < maps.size(); ++i) {
            const bool pair =
                i + 1 < maps.size() && maps[i + 1].width == maps[i].width && maps[i + 1].height == maps[i].height;
            const std::string pcx = ++k == 1 ? "all.pcx" : "all_" + std::to_string(k) + ".pcx";
            ASSERT_EQ(sh("cp " + pcx + " one.pcx && '" + program("WSPCX") + "' -P -S one.pcx").code, 0) << pcx;
            const auto back = bitmaps_of(slurp(dir / "one.pic"));
            ASSERT_EQ(back.size(), pair ? 2u : 1u) << file << " " << pcx;
            for (std::size_t j = 0; j < back.size(); ++j)
                EXPECT_EQ(pixels(back[j]), pixels(maps[i + j])) << file << " " << pcx;
            i += pair;
        }
        EXPECT_FALSE(fs::exists(dir / ("all_" + std::to_string(k + 1) + ".pcx")));
        EXPECT_EQ(w.err.find(std::to_string(k) + " pictures") != std::string::npos, k > 1) << w.err;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
}

// The black plane covers the grey one: black with or without grey beneath shows black.
TEST_F(Converters, BlackCoversGrey) {
    if (!have("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    spit(dir / "g.pic", as_text(pic_file(4, 1, {{1, 1, 0, 0}, {1, 0, 1, 0}})));
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -W -S g.pic").code, 0);
    EXPECT_EQ(sh("convert g.pcx -depth 8 gray:- | od -An -tu1 -v | tr -s ' \\n' ' '").out, " 0 0 170 255 ");
}

TEST_F(Converters, DataFilesAsPeopleReadThem) {
    const std::string one = dbf_record(2, "\x03");
    const struct {
        const char* what;
        std::string file;
        std::string tsv;
    } cases[] = {
        {"a field in three pieces",
         dbf_file(dbf_record(2, "\x03\x03\x03\x03") + dbf_record(1, qstr("begins here, ") + qstr("\x14goes on, ") +
                                                                        qstr("\x14"
                                                                             "ends.") +
                                                                        qstr("next"))),
         "Field1\tField2\tField3\tField4\nbegins here, goes on, ends.\tnext\t\t\n"},
        {"CR LF is one blank", dbf_file(one + dbf_record(1, qstr("a\r\nb\nc"))), "Field1\na b c\n"},
        {"padded labels, unused trailing fields",
         dbf_file(dbf_record(2, std::string(5, '\x03')) +
                  dbf_record(3, dbf_record(4, qstr("Name:") + qstr(" Home:") + qstr(""))) +
                  dbf_record(1, qstr("Ann") + qstr("") + qstr("x"))),
         "Name\tHome\tField3\nAnn\t\tx\n"},
    };
    for (const auto& c : cases) {
        spit(dir / "in.dbf", c.file);
        const auto r = sh("'" + program("dbf2tsv") + "' in.dbf");
        EXPECT_EQ(r.code, 0) << c.what << r.err;
        EXPECT_EQ(r.out, c.tsv) << c.what;
    }
    spit(dir / "wide.dbf", dbf_file(dbf_record(2, std::string(4095, '\x03')) + std::string(60000, '\0')));
    const auto wide = sh("'" + program("dbf2tsv") + "' wide.dbf");
    EXPECT_EQ(wide.code, 1);
    EXPECT_EQ(wide.out, "");

    if (fs::exists(real("dbf-emulated-s3a340-contacts.dbf"))) {
        const auto r = sh("'" + program("dbf2tsv") + "' '" + real("dbf-emulated-s3a340-contacts.dbf").string() + "'");
        EXPECT_EQ(r.out, "Name\tHome\tWork\tFax\tAddress\tField6\tNotes\n"
                         "Anna M\xC3\xBCller\t01234 567890\t\t\t12 Rue de l'\xC3\x89glise\tParis\tCaf\xC3\xA9 & "
                         "Stra\xC3\x9F"
                         "e, \xC2\xA3"
                         "5\n"
                         "Bob Smith\t020 7946 0000\t020 7946 0001\t020 7946 0002\t1 High Street\tLondon W1\tSays "
                         "\"hi\", then; leaves\n"
                         "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m\t+46 8 123 45\t\t\t\t\tEmpty address\n"
                         "Only Name\t\t\t\t\t\t\n");
    }

    // Control bytes the Data layout reserves come back as '?', cell for cell.
    spit(dir / "ctl.tsv", "A\tB\n\x14x\ta\x05"
                          "b\n");
    const auto ctl = sh("'" + program("tsv2dbf") + "' < ctl.tsv > ctl.dbf && '" + program("dbf2tsv") + "' ctl.dbf");
    EXPECT_EQ(ctl.out, "A\tB\n?x\ta?b\n");
    EXPECT_NE(ctl.err.find("2 control character(s)"), std::string::npos) << ctl.err;
}

TEST_F(Converters, RealWordFilesKeepLineBreaksAndTabs) {
    if (!fs::exists(real("wrd-emulated-s3a340-controls.wrd")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const std::string controls = "'" + real("wrd-emulated-s3a340-controls.wrd").string() + "'";
    const auto t = sh("'" + program("WRD2HTML") + "' -t " + controls);
    EXPECT_EQ(t.out, "Name:\tAnna\nTel:\t0123\nSome bold, italic and underlined words.\nCentred heading\n");
    EXPECT_EQ(t.err, "");
    const auto h = sh("'" + program("WRD2HTML") + "' -h " + controls);
    EXPECT_NE(h.out.find(">Name:\tAnna<br>Tel:\t0123</p>"), std::string::npos) << h.out;
    const auto manual =
        sh("'" + program("WRD2HTML") + "' -h '" + real("word-Psion3-Vector-VPMANUAL.wrd").string() + "'");
    EXPECT_NE(manual.out.find("white-space: pre-wrap"), std::string::npos) << "tabs stay visible in a browser";
    EXPECT_EQ(std::count(manual.out.begin(), manual.out.end(), '\t'), 47);
}

TEST_F(Converters, CsvQuotesOnlyOpenAField) {
    const struct {
        std::string csv, tsv, note;
    } cases[] = {
        {"item,size\r\nfloppy,3.5\" disk,10\r\nnext,1\r\n", "item\tsize\nfloppy\t3.5\" disk\t10\nnext\t1\n", ""},
        {"a,\"open\r\nb,c\r\n", "a\topen b,c \n", "still open"},
        {"Name;Price\r\n\"Smith; J\";3,50\r\n", "Name\tPrice\nSmith; J\t3,50\n", "semicolons"},
    };
    for (const auto& c : cases) {
        spit(dir / "in", c.csv);
        const auto r = sh("'" + program("csv2tsv") + "' < in");
        EXPECT_EQ(r.out, c.tsv) << c.csv;
        EXPECT_EQ(r.err.find(c.note) != std::string::npos && !r.err.empty(), !c.note.empty()) << r.err;
    }
}

// A new output replaces the old one only when complete; a failed write leaves it and its links.
TEST_F(Converters, OutputsAreReplacedWhole) {
    bytes wve(reinterpret_cast<const std::uint8_t*>("ALawSoundFile**"),
              reinterpret_cast<const std::uint8_t*>("ALawSoundFile**") + 16);
    kconv::put16(wve, 0x100F);
    kconv::put32(wve, 20000);
    wve.resize(32, 0);
    wve.resize(32 + 20000, 0xD5);
    spit(dir / "a.wve", as_text(wve));
    spit(dir / "a.wav", "earlier");
    fs::create_hard_link(dir / "a.wav", dir / "link.wav");
    const auto full = sh("ulimit -f 20; '" + program("wve2wav") + "' a.wve");
    EXPECT_EQ(full.code, 1) << full.err;
    EXPECT_EQ(slurp(dir / "a.wav"), "earlier");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5) << "no temporary file left";
    ASSERT_EQ(sh("'" + program("wve2wav") + "' a.wve").code, 0);
    EXPECT_EQ(slurp(dir / "a.wav").substr(0, 4), "RIFF");
    EXPECT_EQ(slurp(dir / "link.wav"), "earlier");
}

// A bitmap file of `entries` descriptors of 16 x `height` bitmaps at `data` offsets apart from one
// another's (0: all the same bitmap).
bytes pic_of_entries(int entries, int height, int apart) {
    bytes out{'P', 'I', 'C', 0xDC, 0x30, 0x30};
    kconv::put16(out, static_cast<std::uint16_t>(entries));
    const std::size_t data_start = 8 + 12 * static_cast<std::size_t>(entries);
    for (int i = 0; i < entries; ++i) {
        for (unsigned v : {0u, 16u, static_cast<unsigned>(height), static_cast<unsigned>(2 * height)})
            kconv::put16(out, static_cast<std::uint16_t>(v));
        kconv::put32(out, static_cast<std::uint32_t>(data_start + static_cast<std::size_t>(i * apart) -
                                                     (8 + 12 * static_cast<std::size_t>(i) + 12)));
    }
    out.resize(data_start + static_cast<std::size_t>(2 * height + entries * apart), 0x55);
    return out;
}

TEST_F(Converters, ABitmapFilesPicturesAreOneSet) {
    // Six bitmaps of one size: three grey pictures, a.pcx, a_2.pcx, a_3.pcx.
    spit(dir / "a.pic", as_text(pic_file(8, 1, std::vector<std::vector<int>>(6, std::vector<int>(8, 1)))));
    for (const char* earlier : {"a.pcx", "a_2.pcx"}) {
        spit(dir / earlier, "earlier");
        fs::permissions(dir / earlier, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    }
    spit(dir / "victim", "precious");
    fs::create_symlink(dir / "victim", dir / "a_3.pcx");
    const auto refused = sh("'" + program("WSPCX") + "' -W -S a.pic");
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("a_3.pcx: the output is a link or a special file"), std::string::npos) << refused.err;
    EXPECT_EQ(slurp(dir / "a.pcx") + slurp(dir / "a_2.pcx") + slurp(dir / "victim"), "earlierearlierprecious")
        << "no picture of the set is written";
    fs::remove(dir / "a_3.pcx");
    ASSERT_EQ(sh("umask 022; '" + program("WSPCX") + "' -W -S a.pic").code, 0);
    EXPECT_EQ(fs::status(dir / "a_2.pcx").permissions() & fs::perms::all, fs::perms(0640)) << "the earlier mode";
    EXPECT_EQ(fs::status(dir / "a_3.pcx").permissions() & fs::perms::all, fs::perms(0644)) << "the umask's";
    EXPECT_EQ(slurp(dir / "a_2.pcx").substr(0, 1), "\x0A");
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".kivo-"), std::string::npos) << "left behind: " << entry.path();

    // Where Kivo names a folder, the whole set goes there.
    fs::create_directory(dir / "scratch");
    ASSERT_EQ(sh("KIVO_OUTPUT_DIR='" + (dir / "scratch").string() + "' '" + program("WSPCX") + "' -W -S a.pic").code,
              0);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "scratch"), fs::directory_iterator()), 3);
}

TEST_F(Converters, BitmapEntriesCannotMultiplyAFile) {
    spit(dir / "one.pic", as_text(pic_of_entries(4000, 1, 0)));
    const auto r = run_limited({program("WSPCX"), "-W", "-S"}, dir / "one.pic", false, dir / "out");
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(fs::exists(dir / "one.pcx"));
    EXPECT_FALSE(fs::exists(dir / "one_2.pcx"));
    EXPECT_NE(slurp(dir / "out.err").find("3999 entries point at a bitmap already converted"), std::string::npos);

    spit(dir / "overlap.pic", as_text(pic_of_entries(100, 30000, 2)));
    const auto o = run_limited({program("WSPCX"), "-W", "-S"}, dir / "overlap.pic", false, dir / "out");
    EXPECT_EQ(o.code, 1);
    EXPECT_NE(slurp(dir / "out.err").find("the bitmaps overlap"), std::string::npos) << slurp(dir / "out.err");
    EXPECT_FALSE(fs::exists(dir / "overlap.pcx"));
}

TEST_F(Converters, AnyValidOutputNameWorks) {
    const std::string name(246, 'w');
    bytes wve(reinterpret_cast<const std::uint8_t*>("ALawSoundFile**"),
              reinterpret_cast<const std::uint8_t*>("ALawSoundFile**") + 16);
    kconv::put16(wve, 0x100F);
    kconv::put32(wve, 8);
    wve.resize(40, 0xD5);
    spit(dir / (name + ".wve"), as_text(wve));
    const auto r = sh("'" + program("wve2wav") + "' " + name + ".wve");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / (name + ".wav")));
}

// Whatever the table, the table converters hold little of it: text streams through, and a field
// longer than the organiser's file can hold, or more of them, is counted and left, not kept.
TEST_F(Converters, TablesStayInFlatMemory) {
    {
        std::ofstream tabs(dir / "tabs.tsv", std::ios::binary);
        tabs << "Name\tTel\n" << std::string(50u << 20, '\t') << "\n";
        std::ofstream line(dir / "line.tsv", std::ios::binary);
        line << "Name\n" << std::string(200u << 20, 'x') << ",\n";
    }
    for (const char* converter : {"csv2tsv", "tsv2csv", "tsv2dbf", "tsv2spr"})
        for (const char* input : {"tabs.tsv", "line.tsv"}) {
            const auto r = run_limited({program(converter)}, dir / input, true, dir / "out");
            EXPECT_EQ(r.code, 0) << converter << " " << input << slurp(dir / "out.err");
            EXPECT_LT(r.peak_kb, 64 * 1024) << converter << " " << input << ": KB";
            if (std::string(converter) == "tsv2csv" && std::string(input) == "line.tsv") {
                EXPECT_EQ(r.out_size, 6 + 200u * 1024 * 1024 + 5) << "the long field quoted whole";
            }
        }
    EXPECT_NE(slurp(dir / "out.err").find("1 text(s) longer than 255 bytes were cut"), std::string::npos);
}

// A file converter looks at a file's signature and size before it reads the rest: what no organiser
// could hold, or what is not its file at all, costs little memory and time.
TEST_F(Converters, FileConvertersLookBeforeTheyRead) {
    const std::pair<std::vector<std::string>, std::string> converters[] = {
        {{"dbf2tsv"}, std::string("OPLDatabaseFile\0", 16)},
        {{"agn2tsv"}, std::string("AgendaFileType*\0", 16)},
        {{"spr2tsv"}, std::string("SPREADSHEET\0\0\0\0\0", 16)},
        {{"WRD2HTML", "-t"}, std::string("PSIONWPDATAFILE\0", 16)},
        {{"wve2wav"}, std::string("ALawSoundFile**\0", 16)},
        {{"WSPCX", "-W", "-S"}, "PIC\xDC\x30\x30"},
    };
    const struct {
        const char* what;
        bool own_signature;
        std::string head;
        const char* says;
    } files[] = {
        {"no header", false, "", "(bad signature)"},
        {"a Series 5 file", false, std::string("\x37\0\0\x10\x6D\0\0\x10", 8),
         "a Series 5 file; Kivo reads the files of the Series 3 family (3, 3a, 3c, 3mx, Siena)"},
        {"too large", true, "", "larger than any organiser could hold (500 MB; 16 MB at most)"},
    };
    for (const auto& [args, signature] : converters)
        for (const auto& f : files) {
            const fs::path file = dir / "big";
            spit(file, f.own_signature ? signature : f.head);
            fs::resize_file(file, 500u << 20); // sparse: costs no disk
            auto call = args;
            call[0] = program(call[0]);
            const auto r = run_limited(call, file, false, dir / "out");
            const std::string err = slurp(dir / "out.err");
            EXPECT_EQ(r.code, 1) << args[0] << ", " << f.what;
            EXPECT_NE(err.find(f.says), std::string::npos) << args[0] << ", " << f.what << ": " << err;
            EXPECT_LT(r.peak_kb, 16 * 1024) << args[0] << ", " << f.what;
            EXPECT_LT(r.cpu_seconds, 0.2) << args[0] << ", " << f.what;
        }
}

TEST_F(Converters, EveryConverterAnswersHelpVersionAndWrongCalls) {
    for (const char* name : {"csv2tsv", "tsv2csv", "wve2wav", "wav2wve", "WSPCX", "dbf2tsv", "tsv2dbf", "WRD2HTML"}) {
        const std::string p = "'" + program(name) + "'";
        const auto help = sh(p + " --help");
        EXPECT_EQ(help.code, 0) << name;
        EXPECT_EQ(help.out.rfind(std::string("usage: ") + name, 0), 0u) << name << help.out;
        const auto version = sh(p + " --version");
        EXPECT_EQ(version.out, std::string(name) + " (Kivo) " + KIVO_VERSION + "\n");
        const auto wrong = sh(p + " -x a b c </dev/null");
        EXPECT_EQ(wrong.code, 2) << name;
        EXPECT_EQ(wrong.out, "") << name;
        EXPECT_EQ(wrong.err, help.out) << name;
    }
}

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

namespace {

std::string word(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
std::string lng(std::uint32_t v) {
    return word(v & 0xFFFF) + word(v >> 16);
}

// An agenda of the 3a layout; `records` are framed like Data records, the first at offset 32.
std::string agn_file(const std::vector<std::string>& records) {
    std::string out = std::string("AgendaFileType*\0", 16) + word(0x100F) + word(32) + std::string(12, '\0');
    for (const auto& r : records)
        out += r;
    return out;
}
std::size_t offset_of(const std::vector<std::string>& records, std::size_t i) {
    std::size_t at = 32;
    for (std::size_t k = 0; k < i; ++k)
        at += records[k].size();
    return at;
}
// An entry's fixed part and text (style 0); `after` holds the alarm and memo parts.
std::string timed(unsigned day, unsigned start, unsigned attr, unsigned length, const std::string& text,
                  const std::string& after = "") {
    return dbf_record(1, word(day) + word(start) + char(attr) + '\0' + word(length) + '\0' + qstr(text) + after);
}
std::string untimed(unsigned day, unsigned attr, const std::string& text) {
    return dbf_record(2, word(day) + word(0xFFFF) + char(attr) + '\0' + '\0' + qstr(text));
}
std::string todo(unsigned shown, unsigned attr, unsigned due, unsigned list, unsigned prio, const std::string& text,
                 const std::string& after = "") {
    return dbf_record(4, word(shown) + word(0) + char(attr) + '\0' + word(due) + char(list) + char(prio - 1) + lng(0) +
                             '\0' + qstr(text) + after);
}
std::string repeat_of(unsigned kind, unsigned every, unsigned last, const std::string& days, std::size_t entry,
                      const std::vector<unsigned>& except = {}) {
    std::string r = std::string(1, char(kind)) + char(every - 1) + word(last) + '\1' + days + lng(std::uint32_t(entry));
    for (unsigned d : except)
        r += word(d);
    return dbf_record(5, r);
}
std::string alarm_part(unsigned before) {
    return word(before) + std::string("\x01\x01", 2) + std::string(7, '\0');
}
std::string memo_part(const std::string& text) {
    const std::string runs = word(static_cast<unsigned>(text.size() + 1)) + "BTNN";
    const std::string body = word(0x4000 + 10 + static_cast<unsigned>(text.size())) +
                             word(static_cast<unsigned>(runs.size())) + std::string(10, '\0') + text + runs;
    return word(static_cast<unsigned>(body.size())) + body;
}

const char* const agn_header =
    "Type\tStart Date\tStart Time\tEnd Date\tEnd Time\tText\tAlarm\tRepeat\tCrossed Out\tMemo\tPriority\tDue "
    "Date\tList\tBase Year\n";

// A sheet: the 22-byte header, then records of a type word and a length word.
std::string spr_record(unsigned type, const std::string& data) {
    return word(type) + word(static_cast<unsigned>(data.size())) + data;
}
std::string spr_file(const std::string& records) {
    return std::string("SPREADSHEET\0\0\0\0\0", 16) + std::string(6, '\0') + records;
}
std::string real_bytes(double v) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}
std::string spr_cell(unsigned col, unsigned row, unsigned flags, unsigned format, const std::string& value) {
    return spr_record(2, word(col) + word(row) + char(flags) + char(format) + value);
}

} // namespace

TEST_F(Converters, AgendasBecomeTables) {
    std::vector<std::string> a = {
        timed(19782, 630, 0x13, 90, "Dentist", alarm_part(824)),
        untimed(19786, 0x1A, "Bins"),
        timed(19783, 23 * 60 + 30, 0x1B, 90, "Late show"),
        timed(19783, 600, 0x0B, 30, "Call", memo_part(std::string("Memo one\0two\tx", 14))),
        dbf_record(0, qstr("deleted copy")),
        dbf_record(6, "anon"),
        dbf_record(9, std::string("\xFF\x07", 2) + "Shopping" + std::string(8, '\0') + std::string("\x07", 1) +
                          std::string(22, '\0')),
        todo(19800, 0x19, 19805, 7, 3, "Old task"),
        todo(0xFFFF, 0x13, 19810, 9, 1, "Renew", alarm_part(2339)),
        dbf_record(3, word(19790) + word(0xFFFF) + char(0x1A) + '\0' + word(static_cast<std::uint16_t>(-44)) + '\2' +
                          '\0' + qstr("Founded")),
    };
    a.push_back(repeat_of(1, 2, 20087, std::string("\x09\x00", 2), offset_of(a, 1), {19814, 0xFFFF, 19814}));
    a.push_back(repeat_of(0, 3, 0xFFFF, "", offset_of(a, 2)));
    a.push_back(repeat_of(2, 1, 0xFFFF, lng(1u | 1u << 14 | 1u << 30), offset_of(a, 3)));
    a.push_back(repeat_of(3, 1, 0xFFFF, std::string("\x01\0\0\0\x10", 5), offset_of(a, 9)));
    a.push_back(repeat_of(4, 1, 0xFFFF, "", 99999));
    spit(dir / "a.agn", agn_file(a));
    const auto r = sh("'" + program("agn2tsv") + "' a.agn");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out,
        std::string(agn_header) +
            "timed\t2024-02-29\t10:30\t2024-02-29\t12:00\tDentist\t2024-02-29 10:15\t\t\t\t\t\t\t\n"
            "untimed\t2024-03-04\t\t\t\tBins\t\tevery 2 weeks on Mon,Thu until 2024-12-30 except "
            "2024-04-01\t\t\t\t\t\t\n"
            "timed\t2024-03-01\t23:30\t2024-03-02\t01:00\tLate show\t\tevery 3 days\t\t\t\t\t\t\n"
            "timed\t2024-03-01\t10:00\t2024-03-01\t10:30\tCall\t\tmonthly on day 1,15,31\t\tMemo one two x\t\t\t\t\n"
            "to-do\t2024-03-18\t\t\t\tOld task\t\t\tyes\t\t3\t2024-03-23\tShopping\t\n"
            "to-do\t\t\t\t\tRenew\t2024-03-27 09:00\t\t\t\t1\t2024-03-28\t\t\n"
            "anniversary\t2024-03-08\t\t\t\tFounded\t\tmonthly on 1st Mon,last Fri\t\t\t\t\t\t-44\n");
    EXPECT_NE(r.err.find("points to no entry"), std::string::npos) << r.err;

    // The original Series 3: a Data file of four words and a qstr, days from 1900.
    const std::string s3 = dbf_file(dbf_record(2, std::string("\0\0\0\0\x03", 5)) +
                                    dbf_record(1, word(34392) + word(90) + word(600) + word(854) + qstr("Meeting")) +
                                    dbf_record(1, word(0xFFFE) + word(1) + word(0x8000) + word(0xFFFF) + qstr("Gym") +
                                                      std::string("\x03\x01", 2) + word(34393) + word(0)) +
                                    dbf_record(1, word(0xFFFF) + word(0) + word(2) + word(0) + qstr("Post")));
    // The same file with the repeat written as the last 6 bytes inside the qstr's count.
    std::string inside = s3;
    const std::string after = qstr("Gym") + std::string("\x03\x01", 2) + word(34393) + word(0);
    inside.replace(inside.find(after), after.size(), qstr("Gym" + after.substr(4)));
    for (const auto& [spelling, file] : {std::pair{"after the qstr", s3}, std::pair{"inside the qstr", inside}}) {
        spit(dir / "s3.agn", file);
        const auto old = sh("'" + program("agn2tsv") + "' s3.agn");
        EXPECT_EQ(old.out, std::string(agn_header) +
                               "timed\t1994-03-01\t10:00\t1994-03-01\t10:45\tMeeting\t1994-03-01 09:45\t\t\t\t\t\t\t\n"
                               "untimed\t1994-03-02\t\t\t\tGym\t\tweekly on Wed\t\t\t\t\t\t\n"
                               "to-do\t\t\t\t\tPost\t\t\t\t\t2\t\t\t\n")
            << spelling << old.err;
    }
}

TEST_F(Converters, GenuineAgendasAsTyped) {
    if (!fs::exists(real("agn-emulated-s3a340-entries.agn")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const auto entries = sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3a340-entries.agn").string() + "'");
    EXPECT_EQ(entries.out,
              std::string(agn_header) +
                  "timed\t1993-07-04\t11:00\t1993-07-04\t12:00\tDentist\t1993-07-04 10:45\t\t\t\t\t\t\t\n"
                  "timed\t1993-07-04\t09:00\t1993-07-04\t10:00\tTeam meeting\t\tweekly on Sun\t\t\t\t\t\t\n"
                  "untimed\t1993-07-04\t\t\t\tPay rent \xC2\xA3"
                  "20\t\t\t\t\t\t\t\t\n"
                  "anniversary\t1993-07-04\t\t\t\tGran's birthday\t\tyearly\t\t\t\t\t\t1993\n"
                  "to-do\t\t\t\t\tBuy M\xC3\xBCsli\t\t\t\t\t1\t\tTo-do list\t\n");
    const auto memos =
        sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3a340-memos-repeats.agn").string() + "'");
    EXPECT_EQ(
        memos.out,
        std::string(agn_header) +
            "timed\t1993-07-04\t11:00\t1993-07-04\t12:00\tLunch\t\t\t\tMemo line one Second para\t\t\t\t\n"
            "timed\t1993-07-04\t12:00\t1993-07-04\t13:00\tDentist\t1993-07-02 11:45\t\t\tBring card\t\t\t\t\n"
            "timed\t1993-07-04\t13:00\t1993-07-04\t14:00\tYearly party\t\tyearly except 1994-07-04\t\t\t\t\t\t\n"
            "timed\t1993-07-04\t14:00\t1993-07-04\t15:00\tWeekly class\t\tweekly on Sun until 1993-08-01\t\t\t\t\t\t\n"
            "to-do\t1993-07-04\t\t\t\tOld task\t\t\tyes\t\t1\t\tTo-do list\t\n"
            "to-do\t1993-07-10\t\t\t\tPay bill\t\t\t\t\t3\t1993-07-10\tTo-do list\t\n"
            "to-do\t1993-07-15\t\t\t\tRenew\t1993-07-19 09:00\t\t\t\t1\t1993-07-20\tTo-do list\t\n");
    EXPECT_EQ(memos.err, "");
    const auto c = sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3c520-memos-repeats.agn").string() + "'");
    EXPECT_NE(c.out.find("\tWeekly class\t\tweekly on Mon until 1996-01-28\t"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("\tYearly party\t\tyearly except 1997-01-01\t"), std::string::npos) << c.out;
}

TEST_F(Converters, SheetsBecomeTables) {
    const std::string sheet = spr_file(
        spr_record(1, word(1) + std::string(1, '\x02') + "\x17\x15") + spr_record(21, std::string("\x0A\x02\0\0", 4)) +
        spr_cell(0, 0, 0x01, 0x7F, real_bytes(0.1)) + spr_cell(1, 0, 0x0A, 0x7F, qstr("caf\x82\r\nx")) +
        spr_cell(2, 0, 0x03, 0x7F, word(0xFFFB)) + spr_cell(0, 1, 0x05, 0x7F, word(0) + real_bytes(1e20)) +
        spr_cell(1, 1, 0x06, 0x7F, word(0) + qstr("result")) + spr_cell(2, 1, 0x01, 0x79, real_bytes(34155.75)) +
        spr_cell(0, 3, 0x05, 0x7F, word(0) + real_bytes(HUGE_VAL)) + spr_cell(6, 3, 0x00, 0x7F, "") +
        spr_cell(3, 2, 0x04, 0x7F, "??") + spr_record(3, "\x02\x0A"));
    spit(dir / "s.spr", sheet);
    const auto r = sh("'" + program("spr2tsv") + "' s.spr");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0.1\tcaf\xC3\xA9 x\t-5\n100000000000000000000\tresult\t1993-07-05\n\t\t\nERR\t\t\n");
    EXPECT_NE(r.err.find("undescribed contents type"), std::string::npos) << r.err;

    const std::string stale = spr_file(spr_cell(0, 0, 0x45, 0x7F, word(0) + real_bytes(2)));
    spit(dir / "stale.spr", stale);
    const auto st = sh("'" + program("spr2tsv") + "' stale.spr");
    EXPECT_EQ(st.out, "2\n");
    EXPECT_NE(st.err.find("out of date"), std::string::npos);
    spit(dir / "none.spr", spr_file(spr_cell(0, 0, 0x00, 0x7F, "")));
    EXPECT_EQ(sh("'" + program("spr2tsv") + "' none.spr").out, "");
    spit(dir / "wide.spr", spr_file(spr_cell(300, 1, 0x0A, 0x7F, qstr("far"))));
    const auto wide = sh("'" + program("spr2tsv") + "' wide.spr");
    EXPECT_EQ(wide.out, std::string(300, '\t') + "\n" + std::string(300, '\t') + "far\n");

    if (fs::exists(real("spr-emulated-s3a340-cells.spr"))) {
        EXPECT_EQ(sh("'" + program("spr2tsv") + "' '" + real("spr-emulated-s3a340-cells.spr").string() + "'").out,
                  "12\tApples\n3.5\tCaf\xC3\xA9 Zo\xC3\xAB\n24\t39.5\n15.5\t\n-7.25\t\n");
        EXPECT_EQ(sh("'" + program("spr2tsv") + "' '" + real("spr-emulated-s3a340-formats.spr").string() + "'").out,
                  "1993-07-05\tThis is a long text that runs on across several columns of the sheet\n"
                  "1899-12-31\tERR\nERR\t\n1234.5\t\n0.125\t\n1900-02-28\t\n1900-03-01\t\n-5\t\n1900-01-01\t\n1900-01-"
                  "02\t\n");
    }
}

TEST(Numbers, PlainDecimalsAsPeopleWriteThemTheExponentFormOnlyBeyond) {
    const std::pair<double, const char*> cases[] = {
        {1e5, "100000"},       {100000, "100000"},     {2.50, "2.5"},
        {-0.0, "-0"},          {0.1, "0.1"},           {1e-6, "0.000001"},
        {1.5e-6, "0.0000015"}, {-1234.5, "-1234.5"},   {1e-7, "1e-7"},
        {1e21, "1e+21"},       {1.25e22, "1.25e+22"},  {123456789012345678e3, "123456789012345680000"},
        {5e-324, "5e-324"},    {0.000123, "0.000123"}, {1.7976931348623157e308, "1.7976931348623157e+308"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(kconv::shortest_number(value), text);
        EXPECT_EQ(std::strtod(text, nullptr), value) << text << " reads back";
    }
}

TEST_F(Converters, TablesBecomeSheetsAndBack) {
    const std::string table =
        "42\t-0\t100000\tname\n007\t+5\t1,5\t.5\n1.\t 5\t0x10\tNaN\n1e999\t2.5\tCaf\xC3\xA9\t0.1\n";
    spit(dir / "t.tsv", table);
    const auto r = sh("'" + program("tsv2spr") + "' < t.tsv > t.spr && '" + program("spr2tsv") + "' t.spr");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, table);
    // Which fields became numbers: only the first row's three, 2.5 and 0.1.
    const std::string spr = slurp(dir / "t.spr");
    std::size_t reals = 0;
    for (std::size_t at = 22; at + 4 <= spr.size();) {
        const bytes b(spr.begin() + static_cast<std::ptrdiff_t>(at), spr.end());
        if (kconv::get16(b, 0) == 2 && (b[8] & 7) == 1)
            ++reals;
        at += 4 + kconv::get16(b, 2);
    }
    EXPECT_EQ(reals, 5u);
    spit(dir / "bad.tsv", "a\t\xFF\xFE\n");
    const auto bad = sh("'" + program("tsv2spr") + "' < bad.tsv");
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.out, "");
}

TEST_F(Converters, HostileAgendasAndSheets) {
    const std::vector<std::string> one = {timed(19782, 600, 0x1B, 30, "x")};
    const struct {
        const char* run;
        std::string content;
    } cases[] = {
        {"agn2tsv", ""},
        {"agn2tsv", agn_file({}).substr(0, 20)},
        {"agn2tsv", "NotAnAgendaFile*" + std::string(40, '\0')},
        {"agn2tsv", agn_file({}).replace(18, 2, word(500))},
        {"agn2tsv", agn_file(one).substr(0, 40)},
        {"agn2tsv", agn_file({timed(19782, 1440, 0x1B, 30, "x")})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x13, 30, "x")})}, // no alarm word after the text
        {"agn2tsv", agn_file({dbf_record(1, word(1) + word(2) + "\x1B")})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x1B, 30, "x"), repeat_of(7, 1, 0xFFFF, "", 32)})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x1B, 30, "x"), dbf_record(5, "\x01")})},
        {"agn2tsv", dbf_file(dbf_record(2, "\x03\x03"))},
        {"spr2tsv", ""},
        {"spr2tsv", "SPREADSHEEP" + std::string(11, '\0')},
        {"spr2tsv", spr_file(spr_record(2, "ab")).substr(0, 25)},
        {"spr2tsv", spr_file(spr_cell(9000, 0, 0x01, 0x7F, real_bytes(1)))},
        {"spr2tsv", spr_file(spr_cell(0, 0, 0x02, 0x7F,
                                      "\x09"
                                      "ab"))},
        {"spr2tsv", spr_file(spr_cell(0, 0, 0x01, 0x7F, "abc"))},
    };
    for (const auto& c : cases) {
        spit(dir / "bad", c.content);
        const auto r = sh("'" + program(c.run) + "' bad");
        EXPECT_EQ(r.code, 1) << c.run << " " << c.content.size() << " bytes: " << r.err;
        EXPECT_EQ(r.out, "") << c.run;
        EXPECT_EQ(r.err.rfind(std::string(c.run) + ": bad: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(Converters, FiveMegabyteAgendasAndSheetsInWellUnderASecond) {
    if (sanitized())
        GTEST_SKIP() << "time is not measured under sanitizers";
    std::vector<std::string> entries;
    for (int i = 0; entries.size() * 40 < 5000000; ++i)
        entries.push_back(timed(19000 + i % 3000, 600, 0x1B, 30, "Entry number " + std::to_string(i) + " of many"));
    spit(dir / "big.agn", agn_file(entries));
    std::string cells;
    for (unsigned i = 0; cells.size() < 5000000; ++i)
        cells += spr_cell(i % 100, i / 100, 0x01, 0x7F, real_bytes(i * 0.5));
    spit(dir / "big.spr", spr_file(cells));
    for (const char* name : {"agn2tsv", "spr2tsv"}) {
        const auto r = run_limited({program(name)}, dir / (std::string("big.") + (name[0] == 'a' ? "agn" : "spr")),
                                   false, dir / "out");
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_LT(r.cpu_seconds, 0.6) << name;
    }
}

namespace {

std::string mutant(std::string s, std::mt19937& random) {
    const auto pick = [&](std::size_t n) { return n ? static_cast<std::size_t>(random() % n) : 0; };
    for (int edits = 1 + static_cast<int>(pick(4)); edits > 0 && !s.empty(); --edits) {
        const std::size_t at = pick(s.size());
        switch (pick(5)) {
        case 0:
            s[at] = static_cast<char>(s[at] ^ (1 << pick(8)));
            break;
        case 1:
            s.resize(at);
            break;
        case 2:
            s.insert(at, 1, static_cast<char>(random()));
            break;
        case 3:
            s.erase(at, 1);
            break;
        default: {
            static const std::uint32_t extremes[] = {0, 0xFFFF, 0x7FFF, 0x8000, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000};
            const std::uint32_t v = extremes[pick(7)];
            for (std::size_t i = 0; i < (pick(2) ? 2u : 4u) && at + i < s.size(); ++i)
                s[at + i] = static_cast<char>(v >> (8 * i));
        }
        }
    }
    return s;
}

} // namespace

// Mutated files: no crash, no hang, nothing printed after a refusal, no output out of proportion.
TEST_F(Converters, MutatedFilesNeverCrashHangOrPrintHalfAnOutput) {
    std::string wve("ALawSoundFile**\0\x0F\x10\x40\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 32);
    wve += std::string(64, '\xD5');
    std::string wav = std::string("RIFF\x44\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x40\x1F\0\0\0\x7D\0\0\x04\0\x10\0data"
                                  "\x20\0\0\0",
                                  44) +
                      std::string(32, '\x11');
    const std::string grey_pic = as_text(pic_file(20, 3, {std::vector<int>(60, 1), std::vector<int>(60, 0)}));
    spit(dir / "seed.pic", grey_pic);
    ASSERT_EQ(sh("'" + program("WSPCX") + "' -W -S seed.pic").code, 0);
    const struct {
        std::vector<std::string> args;
        bool on_stdin;
        std::string ext, seed;
    } seeds[] = {
        {{program("dbf2tsv")},
         false,
         ".dbf",
         dbf_file(dbf_record(2, "\x03\x00\x03") + dbf_record(3, dbf_record(4, qstr("Name:") + qstr("N"))) +
                  dbf_record(1, qstr("Ann") + std::string("\x07\x00", 2) + qstr("x\x14y")))},
        {{program("WRD2HTML"), "-h"},
         false,
         ".wrd",
         wrd_file(wrd_record(1, std::string(10, '\0')) + wrd_format(6, "BT", 0, 0, 0) +
                  wrd_format(7, "NN", 0, 0x1F, 0) + wrd_record(8, std::string("Hi\tyou\0two", 10)) +
                  wrd_record(9, wrd_run(11, "BT", "NN")))},
        {{program("WSPCX"), "-W", "-S"}, false, ".pic", grey_pic},
        {{program("WSPCX"), "-P", "-S"}, false, ".pcx", slurp(dir / "seed.pcx")},
        {{program("wve2wav")}, false, ".wve", wve},
        {{program("wav2wve")}, false, ".wav", wav},
        {{program("csv2tsv")}, true, ".csv", "a,\"b\"\"c\",d\r\n1,\"2\r\n3\",4\r\n"},
        {{program("tsv2csv")}, true, ".tsv", "a\tb \"q\"\n1,2\t3\n"},
        {{program("tsv2dbf")}, true, ".tsv", "A\tB\n1\t2\n\xC3\xA9\t\n"},
        {{program("agn2tsv")},
         false,
         ".agn",
         agn_file({timed(19782, 630, 0x03, 90, "Dentist", alarm_part(824) + memo_part(std::string("a\0b", 3))),
                   untimed(19786, 0x1A, "Bins"), todo(19800, 0x19, 19805, 7, 3, "Old"),
                   repeat_of(1, 2, 20087, std::string("\x09\x00", 2), 32, {19814})})},
        {{program("spr2tsv")},
         false,
         ".spr",
         spr_file(spr_cell(0, 0, 0x01, 0x7F, real_bytes(0.1)) + spr_cell(1, 2, 0x0A, 0x7F, qstr("text")) +
                  spr_cell(2, 1, 0x05, 0x79, word(0) + real_bytes(34155)))},
        {{program("tsv2spr")}, true, ".tsv", "1\tone\n-2.5e3\t\xC3\xA9\n"},
    };
    std::mt19937 random(20261207);
    for (const auto& s : seeds) {
        for (int i = 0; i < 600; ++i) {
            const std::string input = mutant(s.seed, random);
            const fs::path file = dir / ("m" + s.ext);
            spit(file, input);
            const auto r = run_limited(s.args, file, s.on_stdin, dir / "stdout");
            std::size_t written = r.out_size;
            for (const char* ext : {".tsv", ".pcx", ".pic", ".wav", ".wve", ".spr"})
                if (ext != s.ext && fs::exists(dir / (std::string("m") + ext)))
                    written += fs::file_size(dir / (std::string("m") + ext));
            const std::string what = s.args[0] + " on mutant " + std::to_string(i) + ": " + slurp(dir / "stdout.err");
            ASSERT_GE(r.code, 0) << what << ": hangs";
            ASSERT_LT(r.code, 128) << what << ": crashes";
            if (r.code != 0) {
                ASSERT_EQ(r.out_size, 0u) << what << ": printed output, then refused";
            }
            // A sound file may ask for up to 65,535/32 s of silence after its samples (32 MB), and a
            // sheet's one cell may lie at row and column 8192 (64 MB of tabs).
            const std::size_t allowed = 64 * input.size() + (s.ext == ".wve"   ? 33u << 20
                                                             : s.ext == ".spr" ? 65u << 20
                                                                               : 1u << 20);
            ASSERT_LE(written, allowed) << what;
            for (const char* ext : {".tsv", ".pcx", ".pic", ".wav", ".wve", ".spr"})
                if (ext != s.ext)
                    fs::remove(dir / (std::string("m") + ext));
        }
    }
}
