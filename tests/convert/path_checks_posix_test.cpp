// A hostile or unlucky folder: links and special files where outputs go, inputs that are not files,
// converters gone at run time, a second Kivo, and names that would break the single output file.

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/selection.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "converters.h"
#include "fake_common_dialog.h"
#include "platform/dir_lock.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;
namespace fs = std::filesystem;

namespace {

class Guard : public engine_test {
protected:
    Guard() {
        pair(agn, tsv);
        write_recording_converter(app, "agn2tsv", "converted\n");
    }
    std::string outside() const { return root / "bashrc"; } // a file that no conversion may touch
    bool converter_ran() const { return exists(app + "/agn2tsv.args"); }
    void walk_data() {
        window.picker = [this] { state().chosen_directory = data + "/"; };
        convert_directory(window);
    }
};

} // namespace

TEST_F(Guard, NothingIsWrittenThroughALinkOrIntoASpecialFile) {
    const std::pair<const char*, std::function<void(const std::string&)>> cases[] = {
        {"link to a file elsewhere", [this](const std::string& p) { fs::create_symlink(outside(), p); }},
        {"link to a file beside it", [this](const std::string& p) { fs::create_symlink(data + "/x.agn", p); }},
        {"fifo", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"directory", [](const std::string& p) { make_dir(p); }},
    };
    for (const auto& [what, make] : cases) {
        write_file(outside(), "precious");
        fs::remove_all(data + "/b.tsv");
        make(data + "/b.tsv");
        run({input("b.agn")});
        EXPECT_EQ(read_file(outside()), "precious") << what;
        EXPECT_FALSE(converter_ran()) << what;
        EXPECT_EQ(logged()[0], data + "/b.agn\tskipped\tthe output is a link or a special file") << what;
    }
    fs::remove_all(data + "/b.tsv");
    run({input("b.agn")});
    EXPECT_EQ(read_file(data + "/b.tsv"), "converted\n") << "a plain output is written as always";
}

TEST_F(Guard, InputsThatAreNotRegularFilesAreNotHandedOn) {
    ::mkfifo((data + "/pipe.agn").c_str(), 0600);
    make_dir(data + "/folder.agn");
    fs::create_symlink(data + "/loop.agn", data + "/loop.agn");
    const std::pair<std::string, const char*> cases[] = {
        {data + "/pipe.agn", "not a regular file"},
        {data + "/folder.agn", "not a regular file"},
        {"/dev/null", "not a regular file"},
        {data + "/loop.agn", "Too many levels of symbolic links"},
        {data + "/" + std::string(252, 'n') + ".a", "output name too long"},
    };
    write_file(cases[4].first, "x");
    for (const auto& [path, reason] : cases) {
        run({path});
        EXPECT_FALSE(converter_ran()) << path;
        EXPECT_EQ(logged()[0], path + "\tskipped\t" + reason);
    }
}

TEST_F(Guard, AConverterGoneAtRunTimeTouchesNoOutput) {
    const std::pair<const char*, std::function<void(const std::string&)>> cases[] = {
        {"converter agn2tsv is missing", [](const std::string& p) { fs::remove(p); }},
        {"converter agn2tsv cannot be run",
         [](const std::string& p) {
             fs::remove(p);
             make_dir(p);
         }},
        {"converter agn2tsv cannot be run",
         [](const std::string& p) {
             fs::remove(p);
             write_file(p, "#!/bin/sh\n"); // without execute permission
         }},
    };
    for (const auto& [reason, replace] : cases) {
        fs::remove_all(app + "/agn2tsv");
        write_recording_converter(app, "agn2tsv", "x\n");
        std::vector<std::string> inputs;
        for (const char* name : {"a", "b", "c"}) {
            inputs.push_back(input(std::string(name) + ".agn"));
            write_file(data + "/" + name + ".tsv", std::string("earlier result ") + name);
        }
        replace(app + "/agn2tsv");
        run(inputs);
        for (const char* name : {"a", "b", "c"})
            EXPECT_EQ(read_file(data + "/" + name + ".tsv"), std::string("earlier result ") + name) << reason;
        EXPECT_EQ(logged()[0], data + "/a.agn\tskipped\t" + reason);
        EXPECT_EQ(logged()[3], "converted 0, with warnings 0, failed 0, skipped 3");
    }
}

TEST_F(Guard, OneBatchAtATimeInAnApplicationDirectory) {
    fake_main_window second;
    second.source = window.source;
    second.from_filename = window.from_filename;
    const std::string in = input("a.agn");
    run_batch(window, [&](batch& b) {
        ASSERT_TRUE(begin_converting(b));
        mod_convert::run_batch(second, [&](batch& other) { convert_in_batch(other, in); });
        convert_in_batch(b, in);
    });
    EXPECT_EQ(second.lbl_status, "Status: Another Kivo is converting with this application directory");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 1");
    EXPECT_EQ(read_file(data + "/a.tsv"), "converted\n");

    // While the first one's picker is open its files are not known yet: the second one converts.
    second.lbl_status.clear();
    window.picker = [&] {
        if (!state().chosen_directory.empty())
            return; // answered
        mod_convert::run_batch(second, [&](batch& other) { convert_in_batch(other, in); });
        state().chosen_directory = data + "/";
    };
    convert_directory(window);
    EXPECT_EQ(second.lbl_status, "Status: Idle");
    EXPECT_EQ(window.lbl_status, "Status: Idle");

    // Another process holds it until it is killed; nothing is left to clean up.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        platform::dir_lock lock;
        const char ok = lock.try_lock(app) == platform::dir_lock::result::locked ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');
    run({in});
    EXPECT_EQ(window.lbl_status, "Status: Another Kivo is converting with this application directory");
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    run({in});
    EXPECT_EQ(window.lbl_status, "Status: Idle");
}

TEST_F(Guard, KivosOwnFilesCannotBeTheSingleOutputFile) {
    for (const char* name :
         {"kivotemp.tmp", "kivotemp.sh", "kivo.log", "agn2tsv", "WSPCX", "agn2ics", "KIVOTEMP.TMP"}) {
        const std::string path = app + "/" + name;
        write_file(path, "own");
        scripted_dialog dialog;
        dialog.answer = path;
        state().single_output_file = root / "earlier.tsv";
        EXPECT_EQ(choose_output_file(dialog), "") << name;
        EXPECT_EQ(state().single_output_file, "") << "falls back to individual files";

        single_file(path);
        run({input("a.agn")});
        EXPECT_EQ(window.lbl_status, std::string("Status: The single output file cannot be ") + name);
        EXPECT_FALSE(converter_ran());
        if (std::string(name) == "WSPCX") {
            EXPECT_EQ(read_file(path), "own");
        }
        fs::remove(path);
    }
    fs::create_symlink(outside(), root / "link.tsv");
    single_file(root / "link.tsv");
    run({input("a.agn")});
    EXPECT_EQ(window.lbl_status,
              "Status: The single output file cannot be link.tsv (the output is a link or a special file)");
    scripted_dialog dialog;
    dialog.answer = root / "link.tsv";
    EXPECT_EQ(choose_output_file(dialog), "");
}

TEST_F(Guard, SingleFileRecordsCannotBeForgedByNames) {
    write_converter(app, "agn2tsv", "echo line\n");
    const std::string evil = input("evil\nforged.agn\tFORGED RECORD\nx.agn");
    const std::string tab = input("a\tb.agn");
    const std::string good = input("good.agn");
    single_file(root / "all.tsv");
    run({tab, evil, good});
    EXPECT_EQ(read_file(root / "all.tsv"), "good.agn\tline\n");
    EXPECT_EQ(logged(), (std::vector<std::string>{data + "/a b.agn\tskipped\tits name holds a tab or a line break",
                                                  data + "/evil?forged.agn FORGED RECORD?x.agn\tskipped\tits name "
                                                         "holds a tab or a line break",
                                                  "converted 1, with warnings 0, failed 0, skipped 2"}))
        << "a name never breaks the log's lines either";

    window.to_one = false;
    window.to_filename = "*.tsv";
    run({evil});
    EXPECT_EQ(read_file(data + "/evil\nforged.agn\tFORGED RECORD\nx.tsv"), "line\n") << "individual files still work";
}

TEST_F(Guard, TheSingleOutputFilesNameIsPlainText) {
    for (const char* name : {"results [draft.tsv", "out#1.tsv", "Out#1.TSV"}) {
        fs::remove_all(data);
        make_dir(data);
        input("a.agn");
        write_file(data + "/" + name, "mine\n");
        single_file(data + "/" + name);
        walk_data();
        EXPECT_EQ(window.lbl_status, "Status: Idle") << name;
        EXPECT_EQ(window.lbl_nfiles, "Files processed: 1") << name;
        EXPECT_EQ(read_file(data + "/" + name), "mine\na.agn\tconverted\n") << "itself skipped";
    }
}

TEST_F(Guard, TwoInputsNeverShareAnOutput) {
    write_converter(app, "agn2tsv", "basename \"$1\"\n");
    input("a.AGN");
    input("a.agn");
    input("notes");
    input("notes.agn");
    window.from_filename = "*";
    walk_data();
    EXPECT_EQ(read_file(data + "/a.tsv"), "a.AGN\n");
    EXPECT_EQ(read_file(data + "/notes.tsv"), "notes\n");
    EXPECT_EQ(logged(), (std::vector<std::string>{data + "/a.agn\tskipped\tsame output as a.AGN",
                                                  data + "/notes.agn\tskipped\tsame output as notes",
                                                  "converted 2, with warnings 0, failed 0, skipped 2"}));
}

TEST_F(Guard, AnUnreadableDirectoryIsNamed) {
    for (const char* f : {"a.agn", "locked/b.agn"})
        input(f == std::string("a.agn") ? f : (make_dir(data + "/locked"), f));
    fs::permissions(data + "/locked", fs::perms::owner_read | fs::perms::owner_write);
    window.includesubdirs = 1;
    walk_data();
    if (::geteuid() != 0) {
        EXPECT_EQ(logged()[0], data + "/locked/\tskipped\tcannot be listed (Permission denied)");
        EXPECT_EQ(window.lbl_status, "Status: See kivo.log for details of some errors");
    }
}

TEST_F(Guard, APickSpanningTwoFoldersConvertsEachFromItsOwn) {
    make_dir(data + "/A");
    make_dir(data + "/B");
    write_converter(app, "agn2tsv", "echo \"$1\" >> '" + root / "order" + "'\n");
    for (const char* f : {"A/one.agn", "A/two.agn", "B/two.agn"})
        input(f);
    scripted_dialog dialog;
    dialog.answer = data + "/A" + '\0' + data + "/B/two.agn" + '\0' + data + "/A/one.agn";
    convert_selected_files(window, dialog);
    EXPECT_EQ(read_file(root / "order"), data + "/B/two.agn\n" + data + "/A/one.agn\n");
}

TEST_F(Guard, ThePickersWaitGivesTheControlsBackWhenItFails) {
    window.picker = [] { throw std::runtime_error("the picker broke"); };
    convert_directory(window);
    EXPECT_EQ(window.phase, batch_phase::idle);
    EXPECT_EQ(window.lbl_status, "Status: Stopped: the picker broke");
}
