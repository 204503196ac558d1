#include "convert/exec_cmd.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(ExecCmd, ReturnsTheChildsExitCode) {
    const std::pair<const char*, int> cases[] = {{"exit 0", 0}, {"exit 7", 7}, {"kill -9 $$", 128 + 9}, {"true", 0}};
    for (const auto& [line, code] : cases)
        EXPECT_EQ(mod_ExecCmd::ExecCmd(nullptr, line), code) << line;
}

TEST(ExecCmd, WaitsForTheChild) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(mod_ExecCmd::ExecCmd(nullptr, "sleep 0.3; exit 4"), 4);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(ExecCmd, AProgramThatCannotBeStartedGivesMinusOneAtOnce) {
    EXPECT_EQ(mod_ExecCmd::ExecCmd("/nonexistent/shell", "exit 0"), -1);
}
