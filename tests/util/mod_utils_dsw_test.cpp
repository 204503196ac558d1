#include "util/mod_utils_dsw.h"

#include "platform/errors.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace mod_utils_dsw;
using kivo_test::temp_dir;

namespace {

struct cut_case {
    const char* input;
    const char* file_name;
    const char* dir;
    const char* stripped;
    const char* extension;
};

// Written with backslashes; the slash run swaps them for slashes.
const cut_case cut_cases[] = {
    {"C:\\Data\\diary.agn", "diary.agn", "C:\\Data\\", "C:\\Data\\diary", "agn"},
    {"C:\\Data\\notes.old.agn", "notes.old.agn", "C:\\Data\\", "C:\\Data\\notes.old", "agn"},
    {"C:\\Data\\", "", "C:\\Data\\", "C:\\Data\\", "C:\\Data\\"},
    {"diary.agn", "diary.agn", "diary.agn", "diary", "agn"},
    {"C:\\My.Dir\\diary", "diary", "C:\\My.Dir\\", "C:\\My", "Dir\\diary"},
    {".profile", ".profile", ".profile", "", "profile"},
    {"*.tsv", "*.tsv", "*.tsv", "*", "tsv"},
    {"", "", "", "", ""},
    // UTF-8: no byte of a multi-byte character is ever a separator or a dot.
    {"C:\\\xE6\x97\xA5\xE6\x9C\xAC\\\xCE\xA9.\xC3\xA9\\r\xC3\xA9sum\xC3\xA9.agn", "r\xC3\xA9sum\xC3\xA9.agn",
     "C:\\\xE6\x97\xA5\xE6\x9C\xAC\\\xCE\xA9.\xC3\xA9\\",
     "C:\\\xE6\x97\xA5\xE6\x9C\xAC\\\xCE\xA9.\xC3\xA9\\r\xC3\xA9sum\xC3\xA9", "agn"},
    {"\xF0\x9F\x98\x80\\\xE8\xAA\x9E", "\xE8\xAA\x9E", "\xF0\x9F\x98\x80\\", "\xF0\x9F\x98\x80\\\xE8\xAA\x9E",
     "\xF0\x9F\x98\x80\\\xE8\xAA\x9E"},
};

std::string with_sep(std::string s, char sep) {
    std::replace(s.begin(), s.end(), '\\', sep);
    return s;
}

class PathHelpers : public ::testing::TestWithParam<char> {};

} // namespace

TEST_P(PathHelpers, CutAtLastSeparatorOrDot) {
    const char sep = GetParam();
    for (const auto& c : cut_cases) {
        SCOPED_TRACE(c.input);
        const std::string in = with_sep(c.input, sep);
        EXPECT_EQ(file_name_part(in, sep), with_sep(c.file_name, sep));
        EXPECT_EQ(dir_part(in, sep), with_sep(c.dir, sep));
        EXPECT_EQ(strip_extension(in), with_sep(c.stripped, sep));
        EXPECT_EQ(extension_part(in), with_sep(c.extension, sep));
    }
}

TEST_P(PathHelpers, TrailingSeparator) {
    const char sep = GetParam();
    const std::string s(1, sep);
    EXPECT_EQ(with_trailing_backslash("C:" + s + "Data", sep), "C:" + s + "Data" + s);
    EXPECT_EQ(with_trailing_backslash("C:" + s + "Data" + s, sep), "C:" + s + "Data" + s);
    EXPECT_EQ(with_trailing_backslash("C:" + s, sep), "C:" + s);
    EXPECT_EQ(with_trailing_backslash("", sep), s);
    const char other = sep == '\\' ? '/' : '\\';
    EXPECT_EQ(with_trailing_backslash(std::string("C:") + other, sep), std::string("C:") + other + sep);
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, PathHelpers, ::testing::Values('\\', '/'));

TEST(ShortPaths, ExistingPathsAnswerAndMissingOnesRaise) {
    temp_dir dir;
    kivo_test::write_file(dir / "a file.txt", "x");
    EXPECT_FALSE(short_folder_path(dir.path()).empty());
    EXPECT_FALSE(short_file_path(dir / "a file.txt").empty());
    EXPECT_THROW(short_folder_path(dir / "missing"), platform::os_error);
    EXPECT_THROW(short_file_path(dir / "missing.txt"), platform::os_error);
    EXPECT_THROW(short_file_path(dir.path()), platform::os_error);           // a folder is no file
    EXPECT_THROW(short_folder_path(dir / "a file.txt"), platform::os_error); // and a file no folder
}
