#include "convert/job_wait.h"
#include "converters.h"
#include "fake_main_window.h"
#include "platform/dir_lock.h"
#include "platform/job_process_win32.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include <tlhelp32.h>

namespace {

// The ids of the running command interpreters.
std::set<DWORD> interpreters() {
    std::set<DWORD> ids;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"cmd.exe") == 0)
            ids.insert(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

} // namespace

using kivo_test::temp_dir;
using mod_ExecCmd::ExecCmd;

TEST(ExecCmdWindows, RunsAJobScriptAndReturnsItsExitCode) {
    temp_dir dir;
    kivo_test::fake_main_window window;
    for (int code : {0, 7, -1}) {
        const std::string script = dir / ("exit " + std::to_string(code) + ".bat");
        kivo_test::write_file(script, "@echo off\r\nexit /b " + std::to_string(code) + "\r\n");
        const auto result = ExecCmd(window, kivo_test::script_job(script));
        EXPECT_TRUE(result.started) << "an exit code of -1 is the job's own";
        EXPECT_EQ(result.exit_code, code);
    }
}

TEST(ExecCmdWindows, AJobThatCannotBeStartedIsToldApartAtOnce) {
    kivo_test::fake_main_window window;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ExecCmd(window, kivo_test::script_job("C:\\no\\such\\program.exe")).started);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ExecCmdWindows, StopEndsTheJobAndTheProgramItStarted) {
    temp_dir dir;
    kivo_test::fake_main_window window;
    const std::string script = dir / "forever.bat";
    // The job starts a second interpreter that never ends; stop must take both down.
    kivo_test::write_file(dir / "loop.bat", "@echo off\r\n:again\r\ngoto again\r\n");
    kivo_test::write_file(script, "@echo off\r\necho started> \"" + dir / "started" + "\"\r\ncmd /c \"" +
                                      dir / "loop.bat" + "\"\r\n");
    const std::set<DWORD> before = interpreters();
    window.on_events = [&] {
        window.stop = kivo_test::exists(dir / "started") && interpreters().size() >= before.size() + 2;
    };
    const auto start = std::chrono::steady_clock::now();
    const auto result = ExecCmd(window, kivo_test::script_job(script));
    EXPECT_TRUE(result.stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    std::set<DWORD> left;
    for (int tries = 0; tries < 50; ++tries) {
        left = interpreters();
        if (left.size() <= before.size())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(left, before) << "an interpreter of the job is still running";
}

TEST(ExecCmdWindows, TheChildStartsMinimisedWithoutFocus) {
    const STARTUPINFOW info = platform::job_startup_info();
    EXPECT_EQ(info.cb, sizeof(STARTUPINFOW));
    EXPECT_EQ(info.dwFlags, 1u);
    EXPECT_EQ(info.wShowWindow, 7);
    EXPECT_EQ(info.lpTitle, nullptr);
    EXPECT_EQ(info.hStdInput, nullptr);
}

TEST(DirLockWindows, OneHolderAtATimeAndNothingLeftBehind) {
    temp_dir dir;
    {
        platform::dir_lock first, second;
        EXPECT_EQ(first.try_lock(dir.path()), platform::dir_lock::result::locked);
        EXPECT_EQ(second.try_lock(dir.path()), platform::dir_lock::result::busy);
    }
    platform::dir_lock again;
    EXPECT_EQ(again.try_lock(dir.path()), platform::dir_lock::result::locked);
}
