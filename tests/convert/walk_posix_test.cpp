#include "convert/walk.h"

#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;

namespace {

class Walk : public engine_test {
protected:
    Walk() : tree(root / "tree") { make_dir(tree); }

    std::string tree;
    std::vector<std::string> seen;     // files, relative to the tree
    std::vector<std::string> problems; // unreadable directories, relative to the tree
    bool subdirs = true;

    void file(const std::string& relative, const std::string& content = "x") {
        const auto slash = relative.rfind('/');
        if (slash != std::string::npos)
            make_dir(tree + "/" + relative.substr(0, slash));
        write_file(tree + "/" + relative, content);
    }
    std::string relative(const std::string& path) const { return path.substr(tree.size() + 1); }
    walk_callbacks recorder(std::function<void(const std::string&)> extra = {}) {
        walk_callbacks on;
        on.include_subdirs = subdirs;
        on.file = [this, extra](const std::string& path, const std::string&) {
            seen.push_back(relative(path));
            if (extra)
                extra(path);
        };
        on.unreadable = [this](const std::string& dir, const std::string&) { problems.push_back(relative(dir)); };
        return on;
    }
    void walk(std::function<void(const std::string&)> extra = {}) { walk_directory(tree + "/", recorder(extra)); }

    // A whole directory batch, the picker answering with the tree.
    void convert_tree() {
        window.picker = [this] { state().chosen_directory = tree + "/"; };
        convert_directory(window);
    }
    using strings = std::vector<std::string>;
};

} // namespace

TEST_F(Walk, DepthFirstInListingOrder) {
    for (const char* f : {"b.wrd", "a.wrd", "sub/c.wrd", "sub/deeper/d.wrd", "Sub2/e.wrd", "C.wrd"})
        file(f);
    walk();
    EXPECT_EQ(seen, (strings{"a.wrd", "b.wrd", "C.wrd", "sub/c.wrd", "sub/deeper/d.wrd", "Sub2/e.wrd"}));
    seen.clear();
    subdirs = false;
    walk();
    EXPECT_EQ(seen, (strings{"a.wrd", "b.wrd", "C.wrd"}));
}

TEST_F(Walk, ParentIsResumedAfterTheSubDirectory) {
    for (const char* f : {"a.wrd", "m/c.wrd", "z.wrd"})
        file(f);
    walk();
    EXPECT_EQ(seen, (strings{"a.wrd", "m/c.wrd", "z.wrd"}));
}

TEST_F(Walk, HiddenEntriesAndLinksToDirectoriesAreLeftAlone) {
    for (const char* f : {".hidden.wrd", ".secret/a.wrd", "real/b.wrd", "seen.wrd"})
        file(f);
    std::filesystem::create_directory_symlink(tree, tree + "/loop");
    std::filesystem::create_directory_symlink(tree + "/real", tree + "/alias");
    walk();
    EXPECT_EQ(seen, (strings{"real/b.wrd", "seen.wrd"}));
}

TEST_F(Walk, ASubDirectoryDeletedWhileItIsWalked) {
    for (const char* f : {"a.wrd", "gone/b.wrd", "gone/c.wrd", "z.wrd"})
        file(f);
    walk([&](const std::string& path) {
        if (relative(path) == "gone/b.wrd")
            std::filesystem::remove_all(tree + "/gone");
    });
    EXPECT_EQ(seen, (strings{"a.wrd", "gone/b.wrd", "gone/c.wrd", "z.wrd"})) << "the listing in hand is walked out";
    EXPECT_TRUE(problems.empty());
}

TEST_F(Walk, UnreadableDirectoriesAreReportedAndSkipped) {
    for (const char* f : {"a.wrd", "locked/b.wrd", "z.wrd"})
        file(f);
    auto on = recorder();
    on.list = [this](const std::string& dir) -> std::vector<platform::dir_entry> {
        if (dir == tree + "/locked/")
            throw platform::os_error("Permission denied");
        return platform::list_directory(dir);
    };
    walk_directory(tree + "/", on);
    EXPECT_EQ(seen, (strings{"a.wrd", "z.wrd"}));
    EXPECT_EQ(problems, (strings{"locked/"}));
}

TEST_F(Walk, RealPermissionsToo) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every directory";
    file("locked/b.wrd");
    std::filesystem::permissions(tree + "/locked", std::filesystem::perms::none);
    walk();
    EXPECT_EQ(problems, (strings{"locked/"}));
}

TEST_F(Walk, PatternsChooseTheFiles) {
    pair(wrd, html);
    write_recording_converter(app, "WRD2HTML");
    for (const char* f : {"readme", "notes.wrd", "LETTER.WRD", "letter.wrd.bak", "page.html", "sub/deep.wrd"})
        file(f);
    window.includesubdirs = 1;
    window.matchfilename = 0; // "*.*"
    convert_tree();
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 4") << "LETTER.WRD, letter.wrd.bak, notes.wrd, sub/deep.wrd";
    EXPECT_FALSE(exists(tree + "/readme.html"));

    window.matchfilename = 1;
    window.from_filename = "*.wrd";
    window.nfiles_history.clear();
    convert_tree();
    EXPECT_EQ(window.nfiles_history,
              (strings{"Files processed: 0", "Files processed: 0 of 3", "Files processed: 1 of 3",
                       "Files processed: 2 of 3", "Files processed: 3 of 3", "Files processed: 3"}))
        << "the walk counts what it will convert before the first job";
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

TEST_F(Walk, OutputsWrittenDuringTheWalkAreSkipped) {
    pair(wrd, html);
    // Each conversion also drops an output after its parent's sub-directory, where the walk will look.
    write_converter(app, "WRD2HTML", "echo out\n: > \"$(dirname \"$(dirname \"$2\")\")/zz.html\"\n");
    file("sub/a.wrd");
    window.includesubdirs = 1;
    convert_tree();
    EXPECT_TRUE(exists(tree + "/zz.html"));
    EXPECT_TRUE(exists(tree + "/sub/a.html"));
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 1");
}

TEST_F(Walk, EmptyCancelledAndInvalid) {
    pair(wrd, html);
    file("a.txt");
    convert_tree();
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
    EXPECT_EQ(window.lbl_status, "Status: Idle (no file matched *.wrd in " + tree + ")");

    file("a.wrd");
    window.picker = [] { state().chosen_directory = "-1"; };
    convert_directory(window);
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_EQ(window.phase, batch_phase::idle) << "the run's controls come back";

    window.from_filename = "[z-a].wrd";
    convert_tree();
    EXPECT_EQ(window.lbl_status, "Status: Invalid filename pattern: [z-a].wrd");
    window.from_filename = "*.wrd";
    window.to_filename = "*.[html";
    convert_tree();
    EXPECT_EQ(window.lbl_status, "Status: Invalid output-name pattern: *.[html");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
}

TEST_F(Walk, AStopWhileTheTreeIsCountedConvertsNothing) {
    pair(wrd, html);
    write_recording_converter(app, "WRD2HTML");
    file("a.wrd");
    window.on_events = [&] { window.stop = !state().chosen_directory.empty(); }; // once the picker answered
    convert_tree();
    EXPECT_EQ(window.lbl_status, "Status: Stopped");
    EXPECT_FALSE(exists(app + "/WRD2HTML.args"));
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
}
