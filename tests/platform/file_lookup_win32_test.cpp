#include "platform/errors.h"
#include "platform/file_lookup.h"
#include "platform/listing.h"
#include "platform/utf16_win32.h"
#include "temp_dir.h"
#include "util/mod_utils_dsw.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace kivo_test;

namespace {

void set_attributes(const std::string& path, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}

} // namespace

TEST(ShortPathsWindows, EightThreeFormsWithoutBlanks) {
    temp_dir dir;
    make_dir(dir / "Program Files Folder");
    write_file(dir / "Program Files Folder\\my long diary.agn", "x");
    const std::string folder = mod_utils_dsw::short_folder_path(dir / "Program Files Folder");
    const std::string file = mod_utils_dsw::short_file_path(dir / "Program Files Folder\\my long diary.agn");
    EXPECT_EQ(folder.find(' '), std::string::npos) << folder;
    EXPECT_EQ(file.find(' '), std::string::npos) << file;
    EXPECT_LE(mod_utils_dsw::file_name_part(file).size(), 12u) << file;
    EXPECT_TRUE(mod_utils_dsw::same_file(file, dir / "Program Files Folder\\my long diary.agn"));
    EXPECT_THROW(mod_utils_dsw::short_folder_path(dir / "no such folder"), platform::os_error);
    EXPECT_THROW(mod_utils_dsw::short_file_path(dir / "no such file.agn"), platform::os_error);
    EXPECT_THROW(mod_utils_dsw::short_file_path(dir / "Program Files Folder"), platform::os_error);
}

TEST(FileLookupWindows, HiddenSystemAndDirectoriesAreNotFound) {
    temp_dir dir;
    for (const char* name : {"plain.tmp", "readonly.tmp", "hidden.tmp", "system.tmp"})
        write_file(dir / name, "x");
    make_dir(dir / "folder.tmp");
    set_attributes(dir / "readonly.tmp", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    set_attributes(dir / "hidden.tmp", FILE_ATTRIBUTE_HIDDEN);
    set_attributes(dir / "system.tmp", FILE_ATTRIBUTE_SYSTEM);
    const std::pair<const char*, bool> cases[] = {{"plain.tmp", true},   {"readonly.tmp", true}, {"hidden.tmp", false},
                                                  {"system.tmp", false}, {"folder.tmp", false},  {"none.tmp", false}};
    for (const auto& [name, found] : cases)
        EXPECT_EQ(platform::plain_file_exists(dir / name), found) << name;

    for (const char* name : {"hidden.tmp", "system.tmp", "folder.tmp", "none.tmp"})
        EXPECT_NO_THROW(mod_utils_dsw::delete_if_exists(dir / name)) << name;
    EXPECT_TRUE(exists(dir / "hidden.tmp"));
    EXPECT_TRUE(exists(dir / "system.tmp"));
    EXPECT_TRUE(exists(dir / "folder.tmp"));
    mod_utils_dsw::delete_if_exists(dir / "plain.tmp");
    EXPECT_FALSE(exists(dir / "plain.tmp"));
}

TEST(FileLookupWindows, ConverterCandidates) {
    temp_dir dir;
    const std::string d = dir.path() + "\\";
    for (const char* name :
         {"dbf2tsv.bat", "WRD2HTML.exe", "WSPCX.com", "agn2tsv.exe", "tsv2dbf.bat", "spr2tsv.cmd", "csv2tsv"})
        write_file(d + name, "");
    set_attributes(d + "agn2tsv.exe", FILE_ATTRIBUTE_HIDDEN);
    set_attributes(d + "tsv2dbf.bat", FILE_ATTRIBUTE_SYSTEM);
    make_dir(d + "wve2wav.exe");
    const std::pair<const char*, bool> cases[] = {{"dbf2tsv", true},  {"WRD2HTML", true}, {"wspcx", true},
                                                  {"agn2tsv", false}, {"tsv2dbf", false}, {"spr2tsv", false},
                                                  {"csv2tsv", false}, {"wve2wav", false}, {"tsv2csv", false}};
    for (const auto& [name, present] : cases)
        EXPECT_EQ(platform::program_present(d, name), present) << name;
}

TEST(ListingWindows, LeavesOutHiddenAndSystemEntriesAndSorts) {
    temp_dir dir;
    for (const char* name : {"b.wrd", "A.wrd", "hidden.wrd", "system.wrd"})
        write_file(dir / name, "");
    make_dir(dir / "sub");
    make_dir(dir / "hidden dir");
    set_attributes(dir / "hidden.wrd", FILE_ATTRIBUTE_HIDDEN);
    set_attributes(dir / "system.wrd", FILE_ATTRIBUTE_SYSTEM);
    set_attributes(dir / "hidden dir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    std::vector<std::string> names;
    for (const auto& e : platform::list_directory(dir.path()))
        names.push_back(e.name + (e.kind == platform::entry_kind::directory ? "\\" : ""));
    EXPECT_EQ(names, (std::vector<std::string>{"A.wrd", "b.wrd", "sub\\"}));
    EXPECT_TRUE(platform::list_directory(dir / "sub").empty());
    EXPECT_THROW(platform::list_directory(dir / "missing"), platform::os_error);
}

// Program Files is the system's: Kivo keeps its job files out of it, whoever runs it.
TEST(LookupWindows, ProgramFilesIsInstalledForEveryone) {
    const std::string program_files = platform::narrow(_wgetenv(L"ProgramFiles"));
    const struct {
        std::string dir;
        bool everyone;
    } cases[] = {{program_files + "\\Kivo", true},
                 {program_files, true},
                 {program_files + " Extra\\Kivo", false},
                 {"C:\\Users\\ann\\kivo-1.5.0", false}};
    for (const auto& c : cases)
        EXPECT_EQ(platform::installed_for_everyone(c.dir), c.everyone) << c.dir;
}
