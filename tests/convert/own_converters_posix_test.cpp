// Kivo's directory batch with the converters a build puts beside the program.

#include "convert/formats.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "converters.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace mod_convert;
using namespace kivo_test;

namespace {

std::string little16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// One bitmap of 16x1 pixels, every other one black.
std::string pic_file() {
    return std::string("PIC\xDC\x30\x30", 6) + little16(1) + little16(0xFB1A) + little16(16) + little16(1) +
           little16(2) + little16(0) + little16(0) + "\x55\x55";
}

std::string wve_file(unsigned samples) {
    return std::string("ALawSoundFile**\0", 16) + little16(0x100F) + little16(samples) + little16(0) + little16(0) +
           little16(1) + std::string(6, '\0') + std::string(samples, '\xD5');
}

std::string dbf_file() {
    return std::string("OPLDatabaseFile\0\x0F\x10\x16\x00\x0F\x10", 22) + little16(0x2001) + "\x03" + little16(0x1004) +
           "\x03" + "Ann";
}

std::string wrd_file() {
    return std::string("PSIONWPDATAFILE\0", 16) + little16(1) + little16(0) + std::string(16, '\xEA') +
           little16(0xEAEA) + little16(0) + little16(8) + little16(5) + std::string("Hi\0Yo", 5);
}

// One timed entry on 1993-07-04, 11:00 for an hour, "Tea", no alarm, no memo.
std::string agn_file() {
    return std::string("AgendaFileType*\0", 16) + little16(0x100F) + little16(32) + std::string(12, '\0') +
           little16(0x1000 | 13) + little16(8585) + little16(660) + std::string("\x1B\0", 2) + little16(60) +
           std::string("\0\x03Tea", 5);
}

// A1 = 2.
std::string spr_file() {
    return std::string("SPREADSHEET\0\0\0\0\0", 16) + std::string(6, '\0') + little16(2) + little16(14) +
           std::string(4, '\0') + "\x01\x7F" + std::string(7, '\0') + "\x40"; // the real 2.0
}

class OwnConverters : public engine_test {};

} // namespace

TEST_F(OwnConverters, ADirectoryBatchConvertsWithEach) {
    const struct {
        int source, target;
        const char* converter;
        const char* input;
        std::string content;
        const char* output;
        const char* status;
    } cases[] = {
        {csv, tsv, "csv2tsv", "t.csv", "a,\"b, c\"\n", "t.tsv", "Status: Idle"},
        {wve, wav, "wve2wav", "s.wve", wve_file(8), "s.wav", "Status: Idle"},
        {pic, pcx, "WSPCX", "p.pic", pic_file(), "p.pcx", "Status: Idle"},
        {dbf, tsv, "dbf2tsv", "d.dbf", dbf_file(), "d.tsv", "Status: Idle"},
        {tsv, dbf, "tsv2dbf", "t.tsv", "Name\nAnn\n", "t.dbf", "Status: Idle"},
        {wrd, txt, "WRD2HTML", "w.wrd", wrd_file(), "w.txt", "Status: Idle"},
        {wrd, html, "WRD2HTML", "h.wrd", wrd_file(), "h.html", "Status: Idle"},
        {agn, tsv, "agn2tsv", "a.agn", agn_file(), "a.tsv", "Status: Idle"},
        {spr, tsv, "spr2tsv", "s.spr", spr_file(), "s.tsv", "Status: Idle"},
        {tsv, spr, "tsv2spr", "n.tsv", "1\tone\n", "n.spr", "Status: Idle"},
        {wve, wav, "wve2wav", "bad.wve", "RIFF", "", "failed\tconverter exit code 1\tnot a sound file (bad signature)"},
        {wrd, txt, "WRD2HTML", "later.wrd", std::string("\x37\0\0\x10\x7F\0\0\x10", 8), "",
         "failed\tconverter exit code 1\ta Series 5 file; Kivo reads the files of the Series 3 family (3, 3a, 3c, 3mx, "
         "Siena)"},
    };
    for (const auto& c : cases) {
        pair(c.source, c.target);
        std::filesystem::copy_file(std::string(KIVO_PROGRAM_DIR) + "/" + c.converter, app + "/" + c.converter,
                                   std::filesystem::copy_options::overwrite_existing);
        const std::string dir = root / c.input;
        make_dir(dir);
        write_file(dir + "/" + c.input, c.content);
        window.picker = [&] { state().chosen_directory = dir + "/"; };
        convert_directory(window);
        if (*c.output) {
            EXPECT_EQ(window.lbl_status, c.status) << c.input;
            EXPECT_TRUE(exists(dir + "/" + c.output)) << c.output;
        } else {
            EXPECT_EQ(logged()[0], dir + "/" + c.input + "\t" + c.status);
        }
    }
}
