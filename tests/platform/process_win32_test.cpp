#include "convert/exec_cmd.h"
#include "platform/process_win32.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>

using kivo_test::temp_dir;

TEST(ExecCmdWindows, RunsAJobScriptAndReturnsItsExitCode) {
    temp_dir dir;
    for (int code : {0, 7}) {
        const std::string script = dir / ("exit " + std::to_string(code) + ".bat");
        kivo_test::write_file(script, "@echo off\r\nexit /b " + std::to_string(code) + "\r\n");
        EXPECT_EQ(mod_ExecCmd::ExecCmd(nullptr, "\"" + script + "\""), code);
    }
}

TEST(ExecCmdWindows, AProgramThatCannotBeStartedGivesMinusOneAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mod_ExecCmd::ExecCmd(nullptr, "C:\\no\\such\\program.exe"), -1);
    EXPECT_EQ(mod_ExecCmd::ExecCmd("C:\\no\\such\\program.exe", "program"), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ExecCmdWindows, TheChildStartsMinimisedWithoutFocus) {
    const STARTUPINFOA info = platform::job_startup_info();
    EXPECT_EQ(info.cb, sizeof(STARTUPINFOA));
    EXPECT_EQ(info.dwFlags, 1u);
    EXPECT_EQ(info.wShowWindow, 7);
    EXPECT_EQ(info.lpTitle, nullptr);
    EXPECT_EQ(info.hStdInput, nullptr);
}
