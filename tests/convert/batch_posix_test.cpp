#include "convert/batch.h"

#include "convert/convert_file.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "converters.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;

namespace {

class Batch : public engine_test {
protected:
    std::string log() const { return app + "/kivo.log"; }
    std::string job() const { return app + "/kivotemp.sh"; }
    std::string scratch() const { return app + "/kivotemp.tmp"; }
    void run_one() {
        write_file(data + "/a.agn", "x");
        run_batch(window, [&](batch& b) { convert_in_batch(b, data + "/a.agn"); });
    }
};

} // namespace

TEST_F(Batch, StartShowsProcessingTheNoteAndACountOfZero) {
    window.lbl_currpath = "File: old";
    batch b(window);
    begin_batch(b);
    EXPECT_EQ(window.lbl_status, "Status: Processing...");
    EXPECT_EQ(window.lbl_note, "Note:\rIf program appears to hang, click stop.");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0");
    EXPECT_EQ(window.lbl_currpath, "");
    end_batch(b);
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_EQ(window.lbl_note, "");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 0"); // the count stays
}

TEST_F(Batch, SnapshotsTheWindowsChoices) {
    struct {
        int match;
        const char* typed;
        const char* pattern;
    } cases[] = {{1, "*.wrd", "*.wrd"}, {0, "*.wrd", "*.*"}, {1, "", ""}, {2, "x?", "x?"}};
    for (const auto& c : cases) {
        window.matchfilename = c.match;
        window.from_filename = c.typed;
        window.to_filename = "*.tab";
        window.source = wrd;
        window.target = html;
        state().single_output_file = "chosen.tsv";
        batch b(window);
        begin_batch(b);
        window.to_filename = "*.later"; // the window's later changes never reach the batch
        state().single_output_file = "later.tsv";
        EXPECT_EQ(filename_pattern(b.choices), c.pattern);
        EXPECT_EQ(b.choices.txt_to_filename, "*.tab");
        EXPECT_EQ(b.choices.source_format, wrd);
        EXPECT_EQ(b.choices.target_format, html);
        EXPECT_EQ(b.choices.single_output_file, "chosen.tsv");
    }
    window.source = no_format;
    batch b(window);
    begin_batch(b);
    EXPECT_EQ(b.choices.source_format, no_format);
}

TEST_F(Batch, TheLogOfThisBatchAloneIsReported) {
    pair(agn, tsv);
    write_file(log(), "from an earlier run");
    write_recording_converter(app, "agn2tsv");
    run_one();
    EXPECT_FALSE(exists(log()));
    EXPECT_EQ(window.lbl_status, "Status: Idle");

    write_converter(app, "agn2tsv", "echo trouble >> '" + log() + "'\n");
    run_one();
    EXPECT_EQ(window.lbl_status, "Status: See kivo.log for details of some errors");
    EXPECT_TRUE(exists(log())); // left for the user until the next batch
}

TEST_F(Batch, JobFilesGoUnlessDebugModeIsOn) {
    pair(agn, tsv);
    window.to_one = true;
    state().single_output_file = root / "all.tsv";
    write_recording_converter(app, "agn2tsv", "x\n");
    window.debug = 1;
    run_one();
    EXPECT_TRUE(exists(job()));
    EXPECT_TRUE(exists(scratch()));
    batch b(window);
    begin_batch(b);
    EXPECT_TRUE(exists(job())) << "debug mode keeps them through the next start too";
    window.debug = 0;
    run_one();
    EXPECT_FALSE(exists(job()));
    EXPECT_FALSE(exists(scratch()));
    EXPECT_EQ(read_file(root / "all.tsv"), "a.agn\tx\na.agn\tx\n");
}

TEST_F(Batch, WhatNeedsALookIsLoggedAndTheStatusPointsThere) {
    // Converter output for a failure, a warning and a clean file; a log left by an earlier batch.
    write_converter(
        app, "agn2tsv",
        "case \"$1\" in *bad*) printf 'agn2tsv: bad.agn: not an agenda\\r\\nsecond\\tline\\n' >&2; exit 2;;\n"
        "*warn*) echo 'agn2tsv: : 3 memos left out' >&2;; esac\necho x\n");
    pair(agn, tsv);
    write_file(log(), "old");
    run({input("bad.agn"), input("warn.agn"), input("good.agn"), data + "/gone.agn"});
    EXPECT_EQ(logged(),
              (std::vector<std::string>{data + "/bad.agn\tfailed\tconverter exit code 2\tnot an agenda\tsecond line",
                                        data + "/warn.agn\twarning\tconverted with warnings\t3 memos left out",
                                        data + "/gone.agn\tskipped\tfile not found",
                                        "converted 2, with warnings 1, failed 1, skipped 1"}));
    EXPECT_EQ(window.lbl_status, "Status: See kivo.log for details of some errors");
    EXPECT_EQ(window.lbl_status_tooltip, "converted 2, with warnings 1, failed 1, skipped 1");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 4");

    run({data + "/good.agn"});
    EXPECT_FALSE(exists(log())) << "a clean batch leaves no log, and removes the last one";
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

// Where the log cannot be written the status still names what happened.
TEST_F(Batch, TheStatusTellsWhenTheLogCannotBeWritten) {
    write_converter(app, "agn2tsv", "exit 1");
    pair(agn, tsv);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"kivo.log is a folder", [this] { make_dir(log()); }},
        {"kivo.log is not a plain file", [this] { ::mkfifo(log().c_str(), 0600); }},
        {"kivo.log is a link", [this] { (void)!::symlink((root / "nowhere").c_str(), log().c_str()); }},
    };
    for (const auto& [problem, make] : cases) {
        make();
        run({input("a.agn"), input("b.agn"), data + "/gone.agn"});
        EXPECT_EQ(window.lbl_status,
                  std::string("Status: 2 files failed, 1 file skipped; the log could not be written: ") + problem);
        std::filesystem::remove_all(log());
    }
}

// A name or a converter's words can never make a viewer show a line the batch did not write, and
// the log is UTF-8 whatever the bytes.
TEST_F(Batch, EveryLogLineIsOneLineOfUtf8) {
    write_converter(app, "agn2tsv", "printf 'bytes \\377\\376 end\\342\\200\\250forged' >&2; exit 1");
    pair(agn, tsv);
    const struct {
        std::string name, shown;
    } names[] = {
        {"ls\u2028converted 99.agn", "ls?converted 99.agn"},
        {"p\u2029q\u0085r\u200bs.agn", "p?q?r\u200bs.agn"},
        {"latin1-\xe9t\xe9.agn", "latin1-\\xE9t\\xE9.agn"},
        {"half-\xe2\x82.agn", "half-\\xE2\\x82.agn"},
    };
    for (const auto& n : names) {
        run({input(n.name)});
        EXPECT_EQ(logged()[0], data + "/" + n.shown + "\tfailed\tconverter exit code 1\tbytes \\xFF\\xFE endforged");
        EXPECT_EQ(logged().size(), 2u);
        std::filesystem::remove(data + "/" + n.name);
    }
}

TEST_F(Batch, AnErrorOutsideAnyFileStopsTheBatchVisibly) {
    run_batch(window, [](batch&) { throw std::runtime_error("the disk went away"); });
    EXPECT_EQ(window.lbl_status, "Status: Stopped: the disk went away");
    EXPECT_EQ(window.lbl_note, "");
    run_batch(window, [](batch&) {});
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

TEST_F(Batch, AReadOnlyProgramFolderPutsTheJobFilesInAPerUserPlace) {
    pair(agn, tsv);
    write_converter(app, "agn2tsv", "echo converted\n");
    const std::string other = root / "other install";
    make_dir(other);
    write_converter(other, "agn2tsv", "echo converted\n");
    const std::string user = root / "user/kivo";
    state().user_job_dir = user;
    // Root writes anywhere a mode allows nothing; an immutable folder stops root too.
    bool immutable = false;
    for (const std::string& dir : {app, other}) {
        ::chmod(dir.c_str(), 0555);
        immutable = ::geteuid() == 0 && std::system(("chattr +i '" + dir + "' 2>/dev/null").c_str()) == 0;
    }
    if (::geteuid() == 0 && !immutable)
        GTEST_SKIP() << "no way to make a folder read-only for root here";
    window.debug = 1;
    // A second read-only installation shares the per-user folder, so it waits its turn.
    fake_main_window second;
    second.source = window.source;
    second.from_filename = window.from_filename;
    write_file(data + "/a.agn", "x");
    run_batch(window, [&](batch& b) {
        ASSERT_TRUE(begin_converting(b));
        state().app_dir = other;
        run_batch(second, [&](batch& theirs) { convert_in_batch(theirs, data + "/a.agn"); });
        state().app_dir = app;
        convert_in_batch(b, data + "/a.agn");
    });
    for (const std::string& dir : {app, other}) {
        if (immutable)
            (void)!std::system(("chattr -i '" + dir + "'").c_str());
        ::chmod(dir.c_str(), 0755);
    }
    EXPECT_EQ(second.lbl_status, "Status: Another Kivo is converting with this application directory");
    EXPECT_EQ(read_file(data + "/a.tsv"), "converted\n");
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_EQ(window.lbl_status_tooltip, "Job files and kivo.log in " + user +
                                             " (the program's folder is read-only)\nconverted 1, with warnings 0, "
                                             "failed 0, skipped 0");
    EXPECT_TRUE(exists(user + "/kivotemp.sh")) << "debug mode leaves them where they were written";
    EXPECT_FALSE(exists(job()));
}
