// Whole jobs on Windows: the batch-file job script, names that cmd would take apart, single-file
// output, and a directory walk past hidden and system files.

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "converters.h"
#include "util/mod_utils_dsw.h"

#include <gtest/gtest.h>

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
