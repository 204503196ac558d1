#include "convert/exec_cmd.h"

#include "converters.h"
#include "fake_main_window.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <unistd.h>

using namespace kivo_test;
using mod_ExecCmd::ExecCmd;
using std::chrono::steady_clock;

namespace {

class ExecCmdTest : public ::testing::Test {
protected:
    temp_dir dir;
    fake_main_window window;
    std::string script(const std::string& body) {
        write_file(dir / "job.sh", "#!/bin/sh\n" + body + "\n");
        return dir / "job.sh";
    }
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
        const auto result = ExecCmd(window, script(c.body));
        EXPECT_TRUE(result.started);
        EXPECT_FALSE(result.stopped);
        EXPECT_EQ(result.exit_code, c.code) << c.body;
        EXPECT_EQ(result.error_tail, c.tail) << c.body;
    }
}

TEST_F(ExecCmdTest, ALoudConverterKeepsOnlyTheLastFourKilobytes) {
    const auto result = ExecCmd(window, script("i=0; while [ $i -lt 20000 ]; do echo \"line $i\" >&2; "
                                               "i=$((i+1)); done; exit 1"));
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_LE(result.error_tail.size(), 4096u);
    EXPECT_EQ(result.error_tail.substr(result.error_tail.size() - 11), "line 19999\n");
}

TEST_F(ExecCmdTest, TheShellRunsTheScriptAsOneChildOfKivo) {
    ExecCmd(window, script("tr '\\0' ' ' < /proc/$$/cmdline > '" + dir / "cmdline" +
                           "'\n"
                           "cut -d' ' -f4 /proc/$$/stat > '" +
                           dir / "parent" + "'"));
    EXPECT_EQ(read_file(dir / "cmdline"), "/bin/sh " + dir / "job.sh" + " ");
    EXPECT_EQ(read_file(dir / "parent"), std::to_string(::getpid()) + "\n");
}

TEST_F(ExecCmdTest, EventsRunWhileTheChildDoes) {
    const auto start = steady_clock::now();
    const auto result = ExecCmd(window, script("sleep 0.3; exit 4"));
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
        ::chdir(dir.path().c_str());
        const auto start = steady_clock::now();
        window.stop = false;
        window.on_events = [&] { window.stop = window.stop || exists(dir / "shell"); };
        const auto result = ExecCmd(window, script(c.body));
        const std::chrono::duration<double> took = steady_clock::now() - start;
        EXPECT_TRUE(result.stopped);
        EXPECT_GE(took.count(), c.at_least_s) << c.body;
        EXPECT_LT(took.count(), 5.0) << c.body;
        EXPECT_TRUE(process_ended(dir / "shell"));
        EXPECT_TRUE(process_ended(dir / "child")) << c.body;
        ::unlink((dir / "shell").c_str());
    }
}
