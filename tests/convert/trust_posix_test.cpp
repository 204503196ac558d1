// After a job the user's folder holds what it held before, or the complete new result: failed,
// stopped and killed jobs, full disks, links planted mid-batch, job files that are not files.

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "converters.h"
#include "platform/job_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace mod_convert;
using namespace kivo_test;
namespace fs = std::filesystem;

namespace {

class Trust : public engine_test {
protected:
    Trust() { pair(agn, tsv); }
    // The converter prints half a record, says so in `started`, then ends as `how` says.
    void converter(const std::string& how) {
        write_converter(app, "agn2tsv", "printf 'half\\trec'\necho > '" + root / "started" + "'\n" + how + "\n");
    }
    void stop_once_started() {
        window.on_events = [this] { window.stop = window.stop || exists(root / "started"); };
    }
    std::vector<std::string> names_in(const std::string& dir) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

mode_t mode_of(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST_F(Trust, AFailedOrStoppedJobLeavesTheOutputAsItWas) {
    const struct {
        const char* how;
        bool stop;
        const char* status;
    } cases[] = {
        {"exit 1", false, "Status: See kivo.log for details of some errors"},
        {"kill -9 $$", false, "Status: See kivo.log for details of some errors"},
        {"sleep 30", true, "Status: Stopped"},
    };
    const std::string in = input("bad.agn");
    for (const auto& c : cases) {
        for (bool earlier : {true, false}) {
            for (bool single : {false, true}) {
                const std::string out = single ? root / "all.tsv" : data + "/bad.tsv";
                fs::remove(out);
                fs::remove(root / "started");
                if (earlier) {
                    write_file(out, "good result\n");
                    fs::remove(root / "link.tsv");
                    fs::create_hard_link(out, root / "link.tsv");
                }
                window.to_one = false;
                window.to_filename = "*.tsv";
                if (single)
                    single_file(out);
                window.stop = false;
                if (c.stop)
                    stop_once_started();
                else
                    window.on_events = [] {};
                converter(c.how);
                run({in});
                const std::string where =
                    std::string(c.how) + (single ? ", single file" : "") + (earlier ? ", earlier output" : "");
                EXPECT_EQ(window.lbl_status, c.status) << where;
                if (earlier) {
                    EXPECT_EQ(read_file(out), "good result\n") << where;
                    EXPECT_EQ(read_file(root / "link.tsv"), "good result\n") << where;
                } else {
                    EXPECT_EQ(read_file(out), "") << where; // and in individual mode no file at all
                    EXPECT_TRUE(single || !exists(out)) << where;
                }
                for (const auto& name : names_in(data))
                    EXPECT_TRUE(name == "bad.agn" || name == "bad.tsv") << where << ": " << name;
            }
        }
    }
}

TEST_F(Trust, ASuccessfulJobReplacesTheOutputInOneStep) {
    const std::string in = input("a.agn"), out = data + "/a.tsv";
    write_file(out, "old\n");
    ::chmod(out.c_str(), 0640);
    fs::create_hard_link(out, root / "other name");
    write_converter(app, "agn2tsv", "echo new");
    run({in});
    EXPECT_EQ(read_file(out), "new\n");
    EXPECT_EQ(mode_of(out), 0640u) << "the old file's permission bits";
    EXPECT_EQ(read_file(root / "other name"), "old\n") << "a new file took the name; the old one was not rewritten";
    EXPECT_EQ(names_in(data), (std::vector<std::string>{"a.agn", "a.tsv"}));
    fs::remove(out);
    ::umask(027);
    run({in});
    ::umask(022);
    EXPECT_EQ(mode_of(out), 0640u) << "a first output gets what the shell's redirection would give it";
}

// Converters that write their own outputs write them into a folder Kivo names; Kivo puts them in
// place when the job succeeded, and touches nothing else: what another Kivo wrote meanwhile stays.
TEST_F(Trust, SelfWritingConvertersKeepTheEarlierOutputOnFailure) {
    pair(wve, wav);
    const std::string in = input("s.wve"), out = data + "/s.wav";
    const std::string writes = "printf half > \"$KIVO_OUTPUT_DIR/s.wav\"; echo > '" + root / "started" + "'\n";
    const std::string other_kivo = "printf other > '" + out + "'\n";
    const struct {
        std::string then;
        bool stop;
        const char* left;
    } cases[] = {{"exit 1", false, "earlier"},
                 {"sleep 30", true, "earlier"},
                 {"exit 0", false, "half"},
                 {other_kivo + "exit 1", false, "other"}};
    for (const auto& c : cases) {
        write_file(out, "earlier");
        fs::remove(root / "started");
        window.stop = false;
        window.on_events = [] {}; // a stop asked for one case never reaches the next
        if (c.stop)
            stop_once_started();
        write_converter(app, "wve2wav", writes + c.then + "\n");
        run({in});
        EXPECT_EQ(read_file(out), c.left) << c.then;
        EXPECT_EQ(names_in(data), (std::vector<std::string>{"s.wav", "s.wve"})) << c.then;
    }
}

// All outputs of a job are one set: each checked and claimed as the first, none in place unless all.
TEST_F(Trust, AConvertersOutputsAreOneSet) {
    pair(pic, pcx);
    write_converter(app, "WSPCX",
                    "n=$(basename \"${3%.pic}\"); printf new > \"$KIVO_OUTPUT_DIR/$n.pcx\"\n"
                    "[ \"$n\" = icons ] && printf new2 > \"$KIVO_OUTPUT_DIR/${n}_2.pcx\"; exit 0\n");
    const std::string icons = input("icons.pic"), second = input("icons_2.pic");
    write_file(data + "/icons.pcx", "earlier");
    fs::create_symlink(root / "elsewhere", data + "/icons_2.pcx");
    run({icons});
    EXPECT_EQ(read_file(data + "/icons.pcx"), "earlier") << "no picture of the set took its place";
    EXPECT_FALSE(exists(root / "elsewhere"));
    EXPECT_EQ(logged()[0], icons + "\tfailed\ticons_2.pcx: the output is a link or a special file");

    fs::remove(data + "/icons_2.pcx");
    run({icons, second});
    EXPECT_EQ(read_file(data + "/icons.pcx") + read_file(data + "/icons_2.pcx"), "newnew2");
    EXPECT_EQ(logged()[0], second + "\tskipped\tsame output as icons.pic") << "picture 2 of icons.pic is kept";
    EXPECT_EQ(names_in(data), (std::vector<std::string>{"icons.pcx", "icons.pic", "icons_2.pcx", "icons_2.pic"}));
}

TEST_F(Trust, AKilledKivoLeavesTheEarlierOutputAndOneRecognisableFile) {
    const std::string in = input("k.agn"), out = data + "/k.tsv";
    write_file(out, "earlier\n");
    converter("echo $$ > '" + root / "pid" + "'; exec sleep 30"); // the converter itself: it ends with Kivo
    const pid_t kivo = ::fork();
    if (kivo == 0) {
        run({in});
        ::_exit(0);
    }
    for (int i = 0; i < 250 && !exists(root / "started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(kivo, SIGKILL);
    ::waitpid(kivo, nullptr, 0);
    EXPECT_EQ(read_file(out), "earlier\n");
    const auto names = names_in(data);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[2].rfind("k.tsv.kivo-", 0), 0u) << names[2];
    EXPECT_TRUE(process_ended(root / "pid")) << "the converter got its parent-death signal";
}

// What a killed Kivo would leave: its marked file or folder beside `output`, no longer locked.
std::string left_by_a_killed_kivo(const std::string& output, platform::output_file::how how) {
    const std::string dir = output.substr(0, output.rfind('/') + 1);
    const pid_t kivo = ::fork();
    if (kivo == 0) {
        new platform::output_file(output, how); // never destroyed: nothing tidied
        ::_exit(0);
    }
    ::waitpid(kivo, nullptr, 0);
    for (const auto& e : fs::directory_iterator(dir))
        if (platform::temporary_name_of(e.path().filename().string(), fs::path(output).filename().string()))
            return e.path().string();
    return {};
}

// A directory batch removes only what Kivo can show it made for an output of this batch; a user's
// files whose names merely look like Kivo's stay byte for byte.
TEST_F(Trust, CleanUpTakesOnlyWhatKivoCanShowIsItsOwn) {
    pair(dbf, tsv);
    write_converter(app, "dbf2tsv", "echo ok");
    input("people.dbf");
    using how = platform::output_file::how;
    const std::string kivos_file = left_by_a_killed_kivo(data + "/people.tsv", how::standard_output);
    const std::string kivos_folder = left_by_a_killed_kivo(data + "/people.tsv", how::by_name);
    write_file(kivos_folder + "/people.tsv", "half");
    const std::string not_this_batch = left_by_a_killed_kivo(data + "/other.tsv", how::standard_output);
    const struct {
        const char* name;
        mode_t mode;
        bool folder;
    } users[] = {
        {"report.kivo-abc123", 0644, false},     {"thesis.kivo-draft1", 0600, false},
        {"notes.kivo-backup", 0755, true},       {"people.tsv.kivo-abc123", 0644, false},
        {"people.tsv.kivo-def456", 0600, false}, {"people.tsv.kivo-ghi789", 0700, true},
    };
    for (const auto& u : users) {
        const std::string path = data + "/" + u.name;
        if (u.folder) {
            make_dir(path);
            write_file(path + "/years of notes", u.name);
        } else {
            write_file(path, u.name);
        }
        ::chmod(path.c_str(), u.mode);
    }
    window.picker = [&] { state().chosen_directory = data + "/"; };
    convert_directory(window);
    EXPECT_EQ(window.lbl_status, "Status: Idle");
    EXPECT_FALSE(exists(kivos_file));
    EXPECT_FALSE(exists(kivos_folder));
    EXPECT_TRUE(exists(not_this_batch)) << "not beside an output of this batch";
    for (const auto& u : users) {
        const std::string path = data + "/" + u.name;
        EXPECT_EQ(read_file(u.folder ? path + "/years of notes" : path), u.name);
        EXPECT_EQ(mode_of(path), u.mode) << u.name;
    }
    EXPECT_EQ(read_file(data + "/people.tsv"), "ok\n");

    // Not what a running job still holds.
    const std::string busy = left_by_a_killed_kivo(data + "/people.tsv", how::standard_output);
    const int fd = ::open(busy.c_str(), O_RDONLY);
    ::flock(fd, LOCK_EX);
    convert_directory(window);
    ::close(fd);
    EXPECT_TRUE(exists(busy));
}

TEST_F(Trust, AFailedAppendIsUndoneAndStopsTheBatch) {
    write_converter(app, "agn2tsv", "printf '%0400d\\n' 7");
    const std::string all = root / "all.tsv";
    write_file(all, "earlier\n");
    single_file(all);
    // Room for two records of 407 bytes after the 8 there are; the third meets a full file.
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 1000;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    run({input("a.agn"), input("b.agn"), input("c.agn"), input("d.agn")});
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    const std::string record = std::string(399, '0') + "7\n";
    EXPECT_EQ(read_file(all), "earlier\na.agn\t" + record + "b.agn\t" + record);
    EXPECT_EQ(window.lbl_status, "Status: Stopped; c.agn could not be added to all.tsv (File too large)");
    EXPECT_EQ(window.lbl_nfiles, "Files processed: 3");
    EXPECT_EQ(logged()[0], data + "/c.agn\tfailed\tFile too large");
}

TEST_F(Trust, AHugeLineStreamsInFlatMemoryAndCanBeStopped) {
    write_converter(app, "agn2tsv", "head -c 268435456 /dev/zero | tr '\\0' x");
    const std::string all = root / "all.tsv";
    single_file(all);
    const long before = peak_rss_kb();
    bool answered = false;
    window.on_events = [&] { answered = answered || fs::file_size(all) > 0; };
    write_file(all, "");
    run({input("big.agn")});
    EXPECT_EQ(fs::file_size(all), 268435456u + 9);
    EXPECT_TRUE(answered) << "the window's events ran during the append";
    if (before >= 0) {
        EXPECT_LT(peak_rss_kb() - before, 64 * 1024);
    }

    window.on_events = [&] { window.stop = window.stop || fs::file_size(all) > 268435456u + 9; };
    run({input("big.agn")});
    EXPECT_EQ(window.lbl_status, "Status: Stopped");
    EXPECT_EQ(fs::file_size(all), 268435456u + 9) << "the stopped append was undone";
}

TEST_F(Trust, ALinkPlantedMidBatchIsNeverWrittenThrough) {
    write_converter(app, "agn2tsv", "echo converted");
    std::vector<std::string> inputs;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(100 + i);
        inputs.push_back(input("r" + n + ".agn"));
        write_file(root / ("o" + n), "precious");
    }
    std::atomic<bool> done{false};
    std::thread flipper([&] {
        for (int round = 0; round < 20000 && !done; ++round)
            for (int i = 0; i < 40; ++i) {
                const std::string n = std::to_string(100 + i), link = data + "/r" + n + ".tsv";
                ::unlink(link.c_str());
                (void)!::symlink((root / ("o" + n)).c_str(), link.c_str());
                ::unlink(link.c_str());
            }
    });
    window.picker = [this] { state().chosen_directory = data + "/"; };
    for (int batch = 0; batch < 5; ++batch)
        convert_directory(window);
    done = true;
    flipper.join();
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(read_file(root / ("o" + std::to_string(100 + i))), "precious") << i;
}

TEST_F(Trust, JobFilesThatAreNotPlainFilesRefuseTheBatch) {
    write_recording_converter(app, "agn2tsv", "x\n");
    const std::string in = input("a.agn");
    const std::pair<const char*, std::function<void(const std::string&)>> kinds[] = {
        {"fifo", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"link", [this](const std::string& p) { fs::create_symlink(root / "elsewhere", p); }},
        {"directory", [](const std::string& p) { make_dir(p); }},
    };
    for (const char* name : {"kivotemp.sh", "kivotemp.tmp"}) {
        for (const auto& [what, make] : kinds) {
            make(app + "/" + name);
            run({in});
            EXPECT_EQ(window.lbl_status,
                      std::string("Status: ") + name + " in the application directory is not a plain file")
                << what;
            EXPECT_FALSE(exists(root / "elsewhere")) << what;
            EXPECT_FALSE(exists(app + "/agn2tsv.args")) << what;
            fs::remove_all(app + "/" + name);
        }
    }
}

// The script is the record of what ran: `sh kivotemp.sh` repeats the job the runner started.
TEST_F(Trust, TheScriptAndTheDirectRunAgree) {
    const char* names[] = {"a b", "it's", "say \"hi\"", "$(touch x)", "`touch y`", "a&b",       "100%",
                           "a;b", "\\",   "*",          "-n",         "tab\there", "new\nline", "ü"};
    window.debug = 1;
    for (auto [source, target, name] : {std::tuple{agn, tsv, "agn2tsv"}, std::tuple{tsv, csv, "tsv2csv"}}) {
        pair(source, target);
        write_recording_converter(app, name, "out\n");
        for (const std::string base : names) {
            const std::string in = input(base + "." + format_ext(source), "content of " + base);
            const std::string out = data + "/" + base + "." + format_ext(target);
            run({in});
            const std::string direct_args = args_of(name), direct_out = read_file(out);
            const std::string direct_in = source == tsv ? stdin_of(name) : "";
            fs::remove(out);
            ASSERT_EQ(std::system(("/bin/sh '" + app + "/kivotemp.sh'").c_str()), 0) << base;
            EXPECT_EQ(args_of(name), direct_args) << base;
            EXPECT_EQ(read_file(out), direct_out) << base;
            if (source == tsv) {
                EXPECT_EQ(stdin_of(name), direct_in) << base;
            }
        }
    }
    EXPECT_FALSE(exists(data + "/x"));
}

// Without lock support (here: a folder this user may not list) the batch runs and says so.
TEST_F(Trust, ABatchThatCannotLockSaysSo) {
    write_converter(app, "agn2tsv", "echo ok");
    const std::string in = input("a.agn");
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && !nobody)
        GTEST_SKIP() << "no unprivileged user to run as";
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            for (const std::string& p : {root.path(), app, data, in, app + "/agn2tsv"})
                (void)!::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid);
            if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(3);
        }
        ::chmod(app.c_str(), 0300); // written and searched, not listed: no descriptor to lock
        run({in});
        ::chmod(app.c_str(), 0755);
        const bool ok = read_file(data + "/a.tsv") == "ok\n" && window.lbl_status == "Status: Idle" &&
                        window.lbl_status_tooltip.find("Kivo could not lock the application directory") == 0;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}
