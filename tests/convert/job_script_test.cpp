#include "convert/job_script.h"

#include <gtest/gtest.h>

using namespace mod_convert;
using platform::shell_dialect;

namespace {

constexpr auto cmd = shell_dialect::windows_cmd;
constexpr auto sh = shell_dialect::posix_sh;

struct line_case {
    const char* program;
    const char* flags;
    const char* input;
    const char* output; // empty: no redirection
    const char* expected;
};

} // namespace

TEST(JobLine, WorkedExamplesHoldByteForByteUnderCmd) {
    const line_case cases[] = {
        {R"(C:\PROGRA~1\KIVO\agn2tsv)", "", R"(C:\MYFILE~1\DIARY.AGN)", R"(C:\My Files\diary.tsv)",
         R"(C:\PROGRA~1\KIVO\agn2tsv C:\MYFILE~1\DIARY.AGN > "C:\My Files\diary.tsv")"},
        {R"(C:\PROGRA~1\KIVO\tsv2dbf)", " <", R"(C:\MYFILE~1\PEOPLE.TSV)", R"(C:\My Files\people.dbf)",
         R"(C:\PROGRA~1\KIVO\tsv2dbf < C:\MYFILE~1\PEOPLE.TSV > "C:\My Files\people.dbf")"},
        {R"(C:\PROGRA~1\KIVO\WRD2HTML)", " -t", R"(C:\MYFILE~1\LETTER.WRD)", R"(C:\My Files\letter.txt)",
         R"(C:\PROGRA~1\KIVO\WRD2HTML -t C:\MYFILE~1\LETTER.WRD > "C:\My Files\letter.txt")"},
        {R"(C:\PROGRA~1\KIVO\WSPCX)", " -W -S", R"(C:\MYFILE~1\LOGO.PIC)", "",
         R"(C:\PROGRA~1\KIVO\WSPCX -W -S C:\MYFILE~1\LOGO.PIC)"},
        {R"(C:\PROGRA~1\KIVO\agn2tsv)", "", R"(C:\MYFILE~1\DIARY.AGN)", R"(C:\Program Files\Kivo\kivotemp.tmp)",
         R"(C:\PROGRA~1\KIVO\agn2tsv C:\MYFILE~1\DIARY.AGN > "C:\Program Files\Kivo\kivotemp.tmp")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(job_line(cmd, c.program, c.flags, c.input, redirection(cmd, c.output)), c.expected);
    EXPECT_EQ(job_script_lines(cmd, "x"), (std::vector<std::string>{"@echo off", "x"}));
    EXPECT_EQ(job_script_name(cmd), "kivotemp.bat");
}

TEST(JobLine, EveryShapeUnderSh) {
    const line_case cases[] = {
        {"/opt/kivo/agn2tsv", "", "/d/diary.agn", "/d/diary.tsv",
         "'/opt/kivo/agn2tsv' '/d/diary.agn' > '/d/diary.tsv'"},
        {"/opt/kivo/tsv2dbf", " <", "/d/p.tsv", "/d/p.dbf", "'/opt/kivo/tsv2dbf' < '/d/p.tsv' > '/d/p.dbf'"},
        {"/opt/kivo/agn2tsv", "", "/d/a.agn", "/opt/kivo/kivotemp.tmp",
         "'/opt/kivo/agn2tsv' '/d/a.agn' > '/opt/kivo/kivotemp.tmp'"},
        {"/opt/kivo/WSPCX", " -W -S", "/d/logo.pic", "", "'/opt/kivo/WSPCX' -W -S '/d/logo.pic'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(job_line(sh, c.program, c.flags, c.input, redirection(sh, c.output)), c.expected);
    EXPECT_EQ(job_script_lines(sh, "x"), (std::vector<std::string>{"#!/bin/sh", "x"}));
    EXPECT_EQ(job_script_name(sh), "kivotemp.sh");
}

TEST(QuotePath, CmdQuotesWhatNeedsItAndDoublesPercent) {
    const std::pair<const char*, const char*> cases[] = {
        {R"(C:\plain)", R"(C:\plain)"},       {R"(C:\a b)", R"("C:\a b")"},          {R"(C:\a&b)", R"("C:\a&b")"},
        {R"(C:\100%)", R"(C:\100%%)"},        {R"(C:\50% off)", R"("C:\50%% off")"}, {R"(C:\it's)", R"(C:\it's)"},
        {R"(C:\$x`y)", R"(C:\$x`y)"},         {R"(C:\a;b)", R"("C:\a;b")"},          {R"x(C:\(1))x", R"x("C:\(1)")x"},
        {R"(C:\a^b=c,d)", R"("C:\a^b=c,d")"}, {R"(C:\x|y<z>)", R"("C:\x|y<z>")"},    {R"(C:\wow!)", R"(C:\wow!)"},
    };
    for (const auto& [path, quoted] : cases)
        EXPECT_EQ(quote_path(cmd, path), quoted) << path;
    EXPECT_EQ(quote_path(cmd, R"(C:\plain)", true), R"("C:\plain")");
    for (const char* unsafe : {"C:\\a\"b", "C:\\a\nb", "C:\\a\rb"})
        EXPECT_THROW(quote_path(cmd, unsafe), unsafe_name);
}
