#include "convert/job_script.h"

#include "convert/job_wait.h"
#include "converters.h"
#include "fake_main_window.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

using mod_convert::quote_path;
constexpr auto sh = platform::shell_dialect::posix_sh;

// The quoted text goes through a real shell and must come out as the very same name.
TEST(QuotePath, ShKeepsEveryNameIntact) {
    kivo_test::temp_dir dir;
    kivo_test::fake_main_window window;
    const std::string names[] = {"a b", "it's",        "say \"hi\"", "$(touch x)", "`touch y`", "a&b", "100%",
                                 "a;b", "line\nbreak", "'",          "''",         "\\",        "*",   "-n"};
    for (const std::string& name : names) {
        const std::string out = dir / "out";
        kivo_test::write_file(dir / "job", "printf '%s' " + quote_path(sh, name) + " > " + quote_path(sh, out) + "\n");
        EXPECT_EQ(mod_ExecCmd::ExecCmd(window, kivo_test::script_job(dir / "job")).exit_code, 0) << name;
        EXPECT_EQ(kivo_test::read_file(out), name);
    }
    EXPECT_FALSE(kivo_test::exists(dir / "x"));
    EXPECT_FALSE(kivo_test::exists(dir / "y"));
}
