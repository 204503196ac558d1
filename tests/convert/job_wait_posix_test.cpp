#include "convert/job_wait.h"

#include "converters.h"
#include "fake_main_window.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kivo_test;
using mod_ExecCmd::ExecCmd;
using std::chrono::steady_clock;

namespace {

class ExecCmdTest : public ::testing::Test {
protected:
    temp_dir dir;
    fake_main_window window;
    std::string script(const std::string& body, const std::string& name = "job.sh") {
        write_file(dir / name, "#!/bin/sh\n" + body + "\n");
        return dir / name;
    }
    mod_ExecCmd::exec_result run(const std::string& body) { return ExecCmd(window, script_job(script(body))); }
};

} // namespace

TEST_F(ExecCmdTest, ExitCodesAndTheEndOfTheErrorOutput) {
    const struct {
        const char* body;
        int code;
        const char* tail;
    } cases[] = {
        {"exit 0", 0, ""},
        {"exit 7", 7, ""},
        {"kill -9 $$", 128 + 9, ""},
        {"echo first >&2; echo 'last line' >&2; exit 2", 2, "first\nlast line\n"},
        {"read answer; echo \"[$answer]\" >&2; exit 3", 3, "[]\n"}, // no keyboard: read meets the end at once
    };
    for (const auto& c : cases) {
        const auto result = run(c.body);
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.exit_code, c.code) << c.body;
        EXPECT_EQ(result.error_tail, c.tail) << c.body;
    }
}

// Converters are started directly, as the job script's shell would start them.
TEST_F(ExecCmdTest, TheConverterIsStartedAsTheShellWouldStartIt) {
    const struct {
        const char* what;
        std::string program;
        int code;
        const char* tail;
    } cases[] = {
        {"no such program", dir / "missing", 127, "No such file or directory"},
        {"a script without #! line", "", 5, ""},
    };
    write_file(dir / "bare", "echo \"$1\" >&2; exit 5\n");
    ::chmod((dir / "bare").c_str(), 0755);
    for (const auto& c : cases) {
        platform::job_command job;
        job.program = c.program.empty() ? dir / "bare" : c.program;
        job.args = {""};
        const auto result = ExecCmd(window, job);
        EXPECT_EQ(result.exit_code, c.code) << c.what;
        EXPECT_NE(result.error_tail.find(c.tail), std::string::npos) << c.what << ": " << result.error_tail;
    }
}

TEST_F(ExecCmdTest, AFloodOfErrorsKeepsOnlyItsEndInMemory) {
    temp_dir tmp;
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    const long before = peak_rss_kb();
    const auto result = run("head -c 300000000 /dev/zero >&2; i=0; while [ $i -lt 2000 ]; do echo \"line $i\" >&2; "
                            "i=$((i+1)); done; exit 1");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_LE(result.error_tail.size(), 4096u);
    EXPECT_EQ(result.error_tail.substr(result.error_tail.size() - 10), "line 1999\n");
    if (before >= 0) {
        EXPECT_LT(peak_rss_kb() - before, 50 * 1024);
    }
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path())) << "nothing spooled to disk";
}

TEST_F(ExecCmdTest, TheConverterIsKivosOwnChild) {
    run("tr '\\0' ' ' < /proc/$$/cmdline > '" + dir / "cmdline" + "'\ncut -d' ' -f4 /proc/$$/stat > '" +
        dir / "parent" + "'");
    EXPECT_EQ(read_file(dir / "cmdline"), "/bin/sh " + dir / "job.sh" + " ");
    EXPECT_EQ(read_file(dir / "parent"), std::to_string(::getpid()) + "\n");
}

TEST_F(ExecCmdTest, EventsRunWhileTheChildDoes) {
    const auto start = steady_clock::now();
    const auto result = run("sleep 0.3; exit 4");
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_GE(steady_clock::now() - start, std::chrono::milliseconds(250));
    EXPECT_GE(window.events, 10) << "the window's events went on while the child ran";
}

TEST_F(ExecCmdTest, StopEndsTheJobAndEverythingItStarted) {
    const struct {
        const char* body;
        double at_least_s;
    } cases[] = {
        {"sleep 1000 & echo $! > child; echo $$ > shell; wait", 0},
        // A converter that ignores SIGTERM is killed after the grace time.
        {"(trap '' TERM; echo $$ > /dev/null; exec sleep 1000) & echo $! > child; echo $$ > shell; wait", 1.9},
    };
    for (const auto& c : cases) {
        (void)!::chdir(dir.path().c_str());
        const auto start = steady_clock::now();
        window.stop = false;
        window.on_events = [&] { window.stop = window.stop || exists(dir / "shell"); };
        const auto result = run(c.body);
        const std::chrono::duration<double> took = steady_clock::now() - start;
        EXPECT_TRUE(result.stopped);
        EXPECT_GE(took.count(), c.at_least_s) << c.body;
        EXPECT_LT(took.count(), 5.0) << c.body;
        EXPECT_TRUE(process_ended(dir / "shell"));
        EXPECT_TRUE(process_ended(dir / "child")) << c.body;
        ::unlink((dir / "shell").c_str());
    }
    (void)!::chdir("/"); // the folder goes with the test
}

// Nothing the job started may write into an output after the job, nor outlive a killed Kivo.
TEST_F(ExecCmdTest, NothingOfAJobOutlivesIt) {
    const auto result =
        run("(sleep 0.5; echo late > '" + dir / "late" + "') & echo $! > '" + dir / "child" + "'; exit 0");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_TRUE(process_ended(dir / "child"));
    // A daemon in a session of its own, its parent gone before the job ends; one that also clears
    // its environment; one that outlives its parent in the job's group.
    for (const char* daemon : {"setsid sh -c", "setsid env -i sh -c", "setsid env -i setsid sh -c"}) {
        const auto result = run(std::string("( ") + daemon + " 'echo $$ > \"$0\"; sleep 0.5; echo late > \"$1\"' '" +
                                dir / "daemon" + "' '" + dir / "late2" + "' & ); sleep 0.1; exit 0");
        EXPECT_EQ(result.exit_code, 0);
        EXPECT_TRUE(process_ended(dir / "daemon")) << daemon;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_FALSE(exists(dir / "late"));
    EXPECT_FALSE(exists(dir / "late2")) << "nothing of the job writes after it";

    const std::string job = script("echo $$ > '" + dir / "converter" + "'; exec sleep 30", "long.sh");
    const pid_t kivo = ::fork();
    if (kivo == 0) {
        fake_main_window w;
        ExecCmd(w, script_job(job));
        ::_exit(0);
    }
    for (int i = 0; i < 250 && read_file(dir / "converter").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(kivo, SIGKILL);
    ::waitpid(kivo, nullptr, 0);
    EXPECT_TRUE(process_ended(dir / "converter")) << "the converter died with Kivo";
}
