// Whole jobs on Windows: the batch-file job script, names that cmd would take apart, single-file
// output, and a directory walk past hidden and system files.

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "converters.h"
#include "util/mod_utils_dsw.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <windows.h>

using namespace mod_convert;
using namespace kivo_test;
using mod_utils_dsw::short_file_path;

namespace {

class WindowsJob : public engine_test {
protected:
    std::string in_data(const std::string& name) { return data + "\\" + name; }
};

} // namespace

TEST_F(WindowsJob, TheJobScriptIsABatchFileWithCrLf) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "converted\r\n");
    window.debug = 1;
    const std::string in = input("diary.agn");
    run({in});
    EXPECT_EQ(read_file(app + "\\kivotemp.bat"), "@echo off\r\n" + mod_utils_dsw::short_folder_path(app) +
                                                     "\\agn2tsv " + short_file_path(in) + " > \"" + data +
                                                     "\\diary.tsv\"\r\n");
    EXPECT_EQ(read_file(data + "\\diary.tsv"), "converted\r\n");
    EXPECT_EQ(args_of("agn2tsv"), short_file_path(in) + "\n");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

TEST_F(WindowsJob, NamesThatCmdWouldTakeApartReachTheConverterUnchanged) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "converted");
    const char* names[] = {"100% sure",           "%PATH%",        "a&b", "x ^ y", "(paren) !bang",
                           "x & mkdir pwned & y", "semi;colon,=eq"};
    for (const std::string name : names) {
        const std::string in = input(name + ".agn");
        run({in});
        EXPECT_EQ(args_of("agn2tsv"), short_file_path(in) + "\n") << name;
        EXPECT_EQ(read_file(in_data(name + ".tsv")), "converted") << name;
        EXPECT_EQ(window.lbl_status, "Status: Idle") << name;
    }
    for (const std::string& where : {data, app, root.path()})
        EXPECT_FALSE(exists(where + "\\pwned")) << where;
}

TEST_F(WindowsJob, TsvIsFedOnStandardInput) {
    pair(tsv, csv);
    write_recording_converter(app, "tsv2csv", "a,b\r\n");
    const std::string in = in_data("my table.tsv");
    write_file(in, "a\tb\r\n");
    run({in});
    EXPECT_EQ(stdin_of("tsv2csv"), "a\tb\r\n");
    EXPECT_EQ(read_file(in_data("my table.csv")), "a,b\r\n");
}

TEST_F(WindowsJob, SingleFileOutputCollectsPrefixedLines) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "one\r\ntwo\r\n");
    window.to_one = true;
    window.to_filename = "all out.tsv";
    state().single_output_file = root / "all out.tsv";
    run({input("a b.agn"), input("c%d.agn")});
    EXPECT_EQ(read_file(root / "all out.tsv"), "a b.agn\tone\r\na b.agn\ttwo\r\nc%d.agn\tone\r\nc%d.agn\ttwo\r\n");
    EXPECT_FALSE(exists(app + "\\kivotemp.bat"));
    EXPECT_FALSE(exists(app + "\\kivotemp.tmp"));
}

TEST_F(WindowsJob, ADirectoryWalkPassesHiddenAndSystemEntries) {
    pair(wrd, html);
    write_recording_converter(app, "WRD2HTML", "<p>\r\n");
    const std::string tree = root / "tree";
    for (const char* dir : {"", "\\sub", "\\hidden dir"})
        make_dir(tree + dir);
    for (const char* file : {"\\a.wrd", "\\hidden.wrd", "\\system.wrd", "\\sub\\b.wrd", "\\hidden dir\\c.wrd"})
        write_file(tree + file, "x");
    SetFileAttributesA((tree + "\\hidden.wrd").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((tree + "\\system.wrd").c_str(), FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA((tree + "\\hidden dir").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    window.includesubdirs = 1;
    window.picker = [&] { state().chosen_directory = tree + "\\"; };
    convert_directory(window);
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 2");
    EXPECT_TRUE(exists(tree + "\\a.html"));
    EXPECT_TRUE(exists(tree + "\\sub\\b.html"));
    for (const char* skipped : {"\\hidden.html", "\\system.html", "\\hidden dir\\c.html"})
        EXPECT_FALSE(exists(tree + skipped)) << skipped;
}

TEST_F(WindowsJob, KivosOwnConverterRunsUnderTheBatchInterpreter) {
    char self[MAX_PATH];
    const std::string exe(self, GetModuleFileNameA(nullptr, self, MAX_PATH));
    const std::string built = exe.substr(0, exe.find_last_of('\\')) + "\\..\\src\\csv2tsv.exe";
    ASSERT_TRUE(CopyFileA(built.c_str(), (app + "\\csv2tsv.exe").c_str(), FALSE)) << built;
    pair(csv, tsv);
    const std::string in = in_data("my table.csv");
    write_file(in, "a,\"b, c\"\r\n1,2\r\n");
    run({in});
    EXPECT_EQ(read_file(in_data("my table.tsv")), "a\tb, c\n1\t2\n");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

namespace {

// Names from several scripts, with blanks: Latin with accents, Greek, Japanese, an emoji.
const char* const unicode_names[] = {"r\xC3\xA9sum\xC3\xA9", "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1",
                                     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", "\xF0\x9F\x98\x80 smile"};

} // namespace

TEST_F(WindowsJob, NamesInEveryScriptConvertThroughAWalkAndIntoOneFile) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "converted\r\n");
    const std::string tree = root / "b\xC3\xA4ume \xCE\xB4\xCE\xAD\xCE\xBD\xCF\x84\xCF\x81\xCE\xB1";
    make_dir(tree);
    for (const std::string name : unicode_names)
        write_file(tree + "\\" + name + ".agn", "x");
    window.picker = [&] { state().chosen_directory = tree + "\\"; };
    convert_directory(window);
    EXPECT_EQ(window.lbl_status, "Status: Idle") << window.lbl_status_tooltip;
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 4");
    for (const std::string name : unicode_names)
        EXPECT_EQ(read_file(tree + "\\" + name + ".tsv"), "converted\r\n") << name;
    // The converter got each file by its short name, and that name is the file.
    EXPECT_TRUE(mod_utils_dsw::same_file(args_of("agn2tsv").substr(0, args_of("agn2tsv").size() - 1),
                                         tree + "\\" + unicode_names[3] + ".agn"));

    single_file(root / "\xE5\x85\xA8\xE9\x83\xA8 all.tsv");
    run({tree + "\\" + unicode_names[0] + ".agn", tree + "\\" + unicode_names[2] + ".agn"});
    EXPECT_EQ(read_file(root / "\xE5\x85\xA8\xE9\x83\xA8 all.tsv"),
              std::string(unicode_names[0]) + ".agn\tconverted\r\n" + unicode_names[2] + ".agn\tconverted\r\n");
}

TEST_F(WindowsJob, AnApplicationDirectoryBeyondAscii) {
    const std::string other = root / "Programme \xC3\xA9\xCE\xA9";
    make_dir(other);
    state().app_dir = other;
    pair(agn, tsv);
    write_recording_converter(other, "agn2tsv", "ok\r\n");
    window.to_one = false;
    run({input("diary.agn")});
    EXPECT_EQ(window.lbl_status, "Status: Idle") << window.lbl_status_tooltip;
    EXPECT_EQ(read_file(in_data("diary.tsv")), "ok\r\n");
    single_file(root / "one.tsv");
    write_file(other + "\\kivo.log", "trouble");
    run({input("diary.agn")});
    EXPECT_EQ(read_file(root / "one.tsv"), "diary.agn\tok\r\n");
    EXPECT_FALSE(exists(other + "\\kivotemp.bat"));
    EXPECT_FALSE(exists(other + "\\kivo.log")) << "the log is deleted at the batch's start";
}

// The redirection writes the output by name: the earlier one waits aside and comes back on failure.
TEST_F(WindowsJob, AFailedJobLeavesTheEarlierOutputAndNothingElse) {
    pair(agn, tsv);
    const std::string in = input("bad.agn"), out = in_data("bad.tsv");
    const struct {
        bool earlier;
        int exit_code;
        const char* left; // "" : no output at all
    } cases[] = {{true, 3, "earlier"}, {false, 3, ""}, {true, 0, "new half"}};
    for (const auto& c : cases) {
        DeleteFileW(std::filesystem::u8path(out).c_str());
        if (c.earlier)
            write_file(out, "earlier");
        write_recording_converter(app, "agn2tsv", "new half", c.exit_code);
        run({in});
        EXPECT_EQ(exists(out), *c.left != '\0') << c.exit_code;
        EXPECT_EQ(read_file(out), c.left) << c.exit_code;
        if (*c.left) {
            EXPECT_FALSE(GetFileAttributesW(std::filesystem::u8path(out).c_str()) & FILE_ATTRIBUTE_HIDDEN)
                << "it waited hidden, and is back as it was";
        }
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(data)))
            files += e.is_regular_file();
        EXPECT_EQ(files, *c.left ? 2u : 1u) << "no file moved aside is left";
    }
}

// Notepad reads the log right: UTF-8 with its mark, CR LF line ends.
TEST_F(WindowsJob, TheLogIsUtf8ThatNotepadReads) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "ok\r\n");
    const std::string gone = in_data(std::string(unicode_names[1]) + ".agn");
    run({gone});
    const std::string log = read_file(app + "\\kivo.log");
    EXPECT_EQ(log.substr(0, 3 + gone.size() + 9), "\xEF\xBB\xBF" + gone + "\tskipped\t");
    const std::string sum = "\r\nconverted 0, with warnings 0, failed 0, skipped 1\r\n";
    EXPECT_EQ(log.substr(log.size() - sum.size()), sum);
    EXPECT_EQ(window.lbl_status, "Status: See kivo.log for details of some errors");
}

// A read-only earlier output: replaced by a new output that is read-only too, nothing left aside.
TEST_F(WindowsJob, AReadOnlyEarlierOutputLeavesNothingAsideAndPassesOnItsAttribute) {
    pair(agn, tsv);
    const std::string in = input("x.agn"), out = in_data("x.tsv");
    write_file(out, "earlier");
    const auto wide = std::filesystem::u8path(out);
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY);
    write_recording_converter(app, "agn2tsv", "new");
    run({in});
    EXPECT_EQ(read_file(out), "new");
    EXPECT_TRUE(GetFileAttributesW(wide.c_str()) & FILE_ATTRIBUTE_READONLY);
    std::size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(data)))
        files += e.is_regular_file();
    EXPECT_EQ(files, 2u) << "x.agn and x.tsv, no file moved aside";
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A converter's warnings and errors reach the log on Windows too.
TEST_F(WindowsJob, WhatTheConverterSaysReachesTheLog) {
    pair(agn, tsv);
    write_recording_converter(app, "agn2tsv", "row\r\n");
    write_file(app + "\\agn2tsv.err", "agn2tsv: a.agn: 2 memos left out\r\n");
    const std::string in = input("a.agn");
    run({in});
    EXPECT_EQ(read_file(in_data("a.tsv")), "row\r\n");
    const std::string log = read_file(app + "\\kivo.log");
    EXPECT_NE(log.find(in + "\twarning\tconverted with warnings\t2 memos left out\r\n"), std::string::npos) << log;
}
