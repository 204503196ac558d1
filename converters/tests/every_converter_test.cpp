// What every converter does alike: its calls, hostile and mutated inputs, outputs never through a link
// and complete or not at all, files looked at before they are read.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

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

TEST_F(Converters, EveryConverterAnswersHelpVersionAndWrongCalls) {
    for (const char* name : {"csv2tsv", "tsv2csv", "wve2wav", "wav2wve", "WSPCX", "dbf2tsv", "tsv2dbf", "WRD2HTML",
                             "agn2tsv", "spr2tsv", "tsv2spr", "agn2ics", "dbf2vcf"}) {
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
    const std::string data_seed =
        dbf_file(dbf_record(2, "\x03\x00\x03") + dbf_record(3, dbf_record(4, qstr("Name:") + qstr("N"))) +
                 dbf_record(1, qstr("Ann") + std::string("\x07\x00", 2) + qstr("x\x14y")));
    const std::string agenda_seed =
        agn_file({timed(19782, 630, 0x03, 90, "Dentist", alarm_part(824) + memo_part(std::string("a\0b", 3))),
                  untimed(19786, 0x1A, "Bins"), todo(19800, 0x19, 19805, 7, 3, "Old"),
                  repeat_of(1, 2, 20087, std::string("\x09\x00", 2), 32, {19814})});
    const struct {
        std::vector<std::string> args;
        bool on_stdin;
        std::string ext, seed;
    } seeds[] = {
        {{program("dbf2tsv")}, false, ".dbf", data_seed},
        {{program("dbf2vcf")}, false, ".dbf", data_seed},
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
        {{program("agn2tsv")}, false, ".agn", agenda_seed},
        {{program("agn2ics")}, false, ".agn", agenda_seed},
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
