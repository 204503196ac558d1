#include "platform/listing.h"

#include "platform/errors.h"
#include "platform/file_lookup.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace kivo_test;
using platform::entry_kind;

TEST(Listing, SortedIgnoringCaseWithTiesByBytes) {
    temp_dir dir;
    for (const char* name : {"b", "B", "a.txt", "A.TXT", "a", "ab", "_x", ".hidden"})
        write_file(dir / name, "");
    std::vector<std::string> names;
    for (const auto& e : platform::list_directory(dir.path()))
        names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"_x", "a", "A.TXT", "a.txt", "ab", "B", "b"}));
}

TEST(Listing, KindsOfEntries) {
    temp_dir dir;
    make_dir(dir / "sub");
    write_file(dir / "file", "");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "link");
    std::filesystem::create_symlink(dir / "file", dir / "filelink");
    ::mkfifo((dir / "pipe").c_str(), 0600);
    std::vector<std::pair<std::string, entry_kind>> seen;
    for (const auto& e : platform::list_directory(dir.path()))
        seen.emplace_back(e.name, e.kind);
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, entry_kind>>{{"file", entry_kind::file},
                                                                     {"filelink", entry_kind::file},
                                                                     {"link", entry_kind::link_to_directory},
                                                                     {"pipe", entry_kind::other},
                                                                     {"sub", entry_kind::directory}}));
    EXPECT_THROW(platform::list_directory(dir / "missing"), platform::os_error);
}

TEST(FileLookup, ConvertersAreVisibleExecutableFiles) {
    temp_dir dir;
    const std::string d = dir.path() + "/";
    write_file(d + "dbf2tsv", "");
    write_file(d + "noexec", "");
    write_file(d + ".agn2tsv", "");
    make_dir(d + "adir");
    for (const char* name : {"dbf2tsv", ".agn2tsv", "adir"})
        ::chmod((d + name).c_str(), 0755);
    EXPECT_TRUE(platform::program_present(d, "dbf2tsv"));
    EXPECT_FALSE(platform::program_present(d, "noexec"));
    EXPECT_FALSE(platform::program_present(d, ".agn2tsv"));
    EXPECT_FALSE(platform::program_present(d, "adir"));
    EXPECT_FALSE(platform::program_present(d, "missing"));
    EXPECT_TRUE(platform::plain_file_exists(d + "noexec"));
    EXPECT_FALSE(platform::plain_file_exists(d + ".agn2tsv"));
}
