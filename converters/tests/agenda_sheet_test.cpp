// Agendas and sheets to tables (and tables to sheets): built files, genuine ones, hostile and large ones.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

namespace {

const char* const agn_header =
    "Type\tStart Date\tStart Time\tEnd Date\tEnd Time\tText\tAlarm\tRepeat\tCrossed Out\tMemo\tPriority\tDue "
    "Date\tList\tBase Year\n";

} // namespace

TEST_F(Converters, AgendasBecomeTables) {
    std::vector<std::string> a = {
        timed(19782, 630, 0x13, 90, "Dentist", alarm_part(824)),
        untimed(19786, 0x1A, "Bins"),
        timed(19783, 23 * 60 + 30, 0x1B, 90, "Late show"),
        timed(19783, 600, 0x0B, 30, "Call", memo_part(std::string("Memo one\0two\tx", 14))),
        dbf_record(0, qstr("deleted copy")),
        dbf_record(6, "anon"),
        dbf_record(9, std::string("\xFF\x07", 2) + "Shopping" + std::string(8, '\0') + std::string("\x07", 1) +
                          std::string(22, '\0')),
        todo(19800, 0x19, 19805, 7, 3, "Old task"),
        todo(0xFFFF, 0x13, 19810, 9, 1, "Renew", alarm_part(2339)),
        dbf_record(3, word(19790) + word(0xFFFF) + char(0x1A) + '\0' + word(static_cast<std::uint16_t>(-44)) + '\2' +
                          '\0' + qstr("Founded")),
    };
    a.push_back(repeat_of(1, 2, 20087, std::string("\x09\x00", 2), offset_of(a, 1), {19814, 0xFFFF, 19814}));
    a.push_back(repeat_of(0, 3, 0xFFFF, "", offset_of(a, 2)));
    a.push_back(repeat_of(2, 1, 0xFFFF, lng(1u | 1u << 14 | 1u << 30), offset_of(a, 3)));
    a.push_back(repeat_of(3, 1, 0xFFFF, std::string("\x01\0\0\0\x10", 5), offset_of(a, 9)));
    a.push_back(repeat_of(4, 1, 0xFFFF, "", 99999));
    spit(dir / "a.agn", agn_file(a));
    const auto r = sh("'" + program("agn2tsv") + "' a.agn");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(
        r.out,
        std::string(agn_header) +
            "timed\t2024-02-29\t10:30\t2024-02-29\t12:00\tDentist\t2024-02-29 10:15\t\t\t\t\t\t\t\n"
            "untimed\t2024-03-04\t\t\t\tBins\t\tevery 2 weeks on Mon,Thu until 2024-12-30 except "
            "2024-04-01\t\t\t\t\t\t\n"
            "timed\t2024-03-01\t23:30\t2024-03-02\t01:00\tLate show\t\tevery 3 days\t\t\t\t\t\t\n"
            "timed\t2024-03-01\t10:00\t2024-03-01\t10:30\tCall\t\tmonthly on day 1,15,31\t\tMemo one two x\t\t\t\t\n"
            "to-do\t2024-03-18\t\t\t\tOld task\t\t\tyes\t\t3\t2024-03-23\tShopping\t\n"
            "to-do\t\t\t\t\tRenew\t2024-03-27 09:00\t\t\t\t1\t2024-03-28\t\t\n"
            "anniversary\t2024-03-08\t\t\t\tFounded\t\tmonthly on 1st Mon,last Fri\t\t\t\t\t\t-44\n");
    EXPECT_NE(r.err.find("points to no entry"), std::string::npos) << r.err;

    // The original Series 3: a Data file of four words and a qstr, days from 1900.
    const std::string s3 = dbf_file(dbf_record(2, std::string("\0\0\0\0\x03", 5)) +
                                    dbf_record(1, word(34392) + word(90) + word(600) + word(854) + qstr("Meeting")) +
                                    dbf_record(1, word(0xFFFE) + word(1) + word(0x8000) + word(0xFFFF) + qstr("Gym") +
                                                      std::string("\x03\x01", 2) + word(34393) + word(0)) +
                                    dbf_record(1, word(0xFFFF) + word(0) + word(2) + word(0) + qstr("Post")));
    // The same file with the repeat written as the last 6 bytes inside the qstr's count.
    std::string inside = s3;
    const std::string after = qstr("Gym") + std::string("\x03\x01", 2) + word(34393) + word(0);
    inside.replace(inside.find(after), after.size(), qstr("Gym" + after.substr(4)));
    for (const auto& [spelling, file] : {std::pair{"after the qstr", s3}, std::pair{"inside the qstr", inside}}) {
        spit(dir / "s3.agn", file);
        const auto old = sh("'" + program("agn2tsv") + "' s3.agn");
        EXPECT_EQ(old.out, std::string(agn_header) +
                               "timed\t1994-03-01\t10:00\t1994-03-01\t10:45\tMeeting\t1994-03-01 09:45\t\t\t\t\t\t\t\n"
                               "untimed\t1994-03-02\t\t\t\tGym\t\tweekly on Wed\t\t\t\t\t\t\n"
                               "to-do\t\t\t\t\tPost\t\t\t\t\t2\t\t\t\n")
            << spelling << old.err;
    }
}

TEST_F(Converters, GenuineAgendasAsTyped) {
    if (!fs::exists(real("agn-emulated-s3a340-entries.agn")))
        GTEST_SKIP() << "the genuine files are not beside the project";
    const auto entries = sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3a340-entries.agn").string() + "'");
    EXPECT_EQ(entries.out,
              std::string(agn_header) +
                  "timed\t1993-07-04\t11:00\t1993-07-04\t12:00\tDentist\t1993-07-04 10:45\t\t\t\t\t\t\t\n"
                  "timed\t1993-07-04\t09:00\t1993-07-04\t10:00\tTeam meeting\t\tweekly on Sun\t\t\t\t\t\t\n"
                  "untimed\t1993-07-04\t\t\t\tPay rent \xC2\xA3"
                  "20\t\t\t\t\t\t\t\t\n"
                  "anniversary\t1993-07-04\t\t\t\tGran's birthday\t\tyearly\t\t\t\t\t\t1993\n"
                  "to-do\t\t\t\t\tBuy M\xC3\xBCsli\t\t\t\t\t1\t\tTo-do list\t\n");
    const auto memos =
        sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3a340-memos-repeats.agn").string() + "'");
    EXPECT_EQ(
        memos.out,
        std::string(agn_header) +
            "timed\t1993-07-04\t11:00\t1993-07-04\t12:00\tLunch\t\t\t\tMemo line one Second para\t\t\t\t\n"
            "timed\t1993-07-04\t12:00\t1993-07-04\t13:00\tDentist\t1993-07-02 11:45\t\t\tBring card\t\t\t\t\n"
            "timed\t1993-07-04\t13:00\t1993-07-04\t14:00\tYearly party\t\tyearly except 1994-07-04\t\t\t\t\t\t\n"
            "timed\t1993-07-04\t14:00\t1993-07-04\t15:00\tWeekly class\t\tweekly on Sun until 1993-08-01\t\t\t\t\t\t\n"
            "to-do\t1993-07-04\t\t\t\tOld task\t\t\tyes\t\t1\t\tTo-do list\t\n"
            "to-do\t1993-07-10\t\t\t\tPay bill\t\t\t\t\t3\t1993-07-10\tTo-do list\t\n"
            "to-do\t1993-07-15\t\t\t\tRenew\t1993-07-19 09:00\t\t\t\t1\t1993-07-20\tTo-do list\t\n");
    EXPECT_EQ(memos.err, "");
    const auto c = sh("'" + program("agn2tsv") + "' '" + real("agn-emulated-s3c520-memos-repeats.agn").string() + "'");
    EXPECT_NE(c.out.find("\tWeekly class\t\tweekly on Mon until 1996-01-28\t"), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("\tYearly party\t\tyearly except 1997-01-01\t"), std::string::npos) << c.out;
}

TEST_F(Converters, SheetsBecomeTables) {
    const std::string sheet = spr_file(
        spr_record(1, word(1) + std::string(1, '\x02') + "\x17\x15") + spr_record(21, std::string("\x0A\x02\0\0", 4)) +
        spr_cell(0, 0, 0x01, 0x7F, real_bytes(0.1)) + spr_cell(1, 0, 0x0A, 0x7F, qstr("caf\x82\r\nx")) +
        spr_cell(2, 0, 0x03, 0x7F, word(0xFFFB)) + spr_cell(0, 1, 0x05, 0x7F, word(0) + real_bytes(1e20)) +
        spr_cell(1, 1, 0x06, 0x7F, word(0) + qstr("result")) + spr_cell(2, 1, 0x01, 0x79, real_bytes(34155.75)) +
        spr_cell(0, 3, 0x05, 0x7F, word(0) + real_bytes(HUGE_VAL)) + spr_cell(6, 3, 0x00, 0x7F, "") +
        spr_cell(3, 2, 0x04, 0x7F, "??") + spr_record(3, "\x02\x0A"));
    spit(dir / "s.spr", sheet);
    const auto r = sh("'" + program("spr2tsv") + "' s.spr");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "0.1\tcaf\xC3\xA9 x\t-5\n100000000000000000000\tresult\t1993-07-05\n\t\t\nERR\t\t\n");
    EXPECT_NE(r.err.find("undescribed contents type"), std::string::npos) << r.err;

    const std::string stale = spr_file(spr_cell(0, 0, 0x45, 0x7F, word(0) + real_bytes(2)));
    spit(dir / "stale.spr", stale);
    const auto st = sh("'" + program("spr2tsv") + "' stale.spr");
    EXPECT_EQ(st.out, "2\n");
    EXPECT_NE(st.err.find("out of date"), std::string::npos);
    spit(dir / "none.spr", spr_file(spr_cell(0, 0, 0x00, 0x7F, "")));
    EXPECT_EQ(sh("'" + program("spr2tsv") + "' none.spr").out, "");
    spit(dir / "wide.spr", spr_file(spr_cell(300, 1, 0x0A, 0x7F, qstr("far"))));
    const auto wide = sh("'" + program("spr2tsv") + "' wide.spr");
    EXPECT_EQ(wide.out, std::string(300, '\t') + "\n" + std::string(300, '\t') + "far\n");

    if (fs::exists(real("spr-emulated-s3a340-cells.spr"))) {
        EXPECT_EQ(sh("'" + program("spr2tsv") + "' '" + real("spr-emulated-s3a340-cells.spr").string() + "'").out,
                  "12\tApples\n3.5\tCaf\xC3\xA9 Zo\xC3\xAB\n24\t39.5\n15.5\t\n-7.25\t\n");
        EXPECT_EQ(sh("'" + program("spr2tsv") + "' '" + real("spr-emulated-s3a340-formats.spr").string() + "'").out,
                  "1993-07-05\tThis is a long text that runs on across several columns of the sheet\n"
                  "1899-12-31\tERR\nERR\t\n1234.5\t\n0.125\t\n1900-02-28\t\n1900-03-01\t\n-5\t\n1900-01-01\t\n1900-01-"
                  "02\t\n");
    }
}

TEST_F(Converters, TablesBecomeSheetsAndBack) {
    const std::string table =
        "42\t-0\t100000\tname\n007\t+5\t1,5\t.5\n1.\t 5\t0x10\tNaN\n1e999\t2.5\tCaf\xC3\xA9\t0.1\n";
    spit(dir / "t.tsv", table);
    const auto r = sh("'" + program("tsv2spr") + "' < t.tsv > t.spr && '" + program("spr2tsv") + "' t.spr");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, table);
    // Which fields became numbers: only the first row's three, 2.5 and 0.1.
    const std::string spr = slurp(dir / "t.spr");
    std::size_t reals = 0;
    for (std::size_t at = 22; at + 4 <= spr.size();) {
        const bytes b(spr.begin() + static_cast<std::ptrdiff_t>(at), spr.end());
        if (kconv::get16(b, 0) == 2 && (b[8] & 7) == 1)
            ++reals;
        at += 4 + kconv::get16(b, 2);
    }
    EXPECT_EQ(reals, 5u);
    spit(dir / "bad.tsv", "a\t\xFF\xFE\n");
    const auto bad = sh("'" + program("tsv2spr") + "' < bad.tsv");
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.out, "");
}

TEST_F(Converters, HostileAgendasAndSheets) {
    const std::vector<std::string> one = {timed(19782, 600, 0x1B, 30, "x")};
    const struct {
        const char* run;
        std::string content;
    } cases[] = {
        {"agn2tsv", ""},
        {"agn2tsv", agn_file({}).substr(0, 20)},
        {"agn2tsv", "NotAnAgendaFile*" + std::string(40, '\0')},
        {"agn2tsv", agn_file({}).replace(18, 2, word(500))},
        {"agn2tsv", agn_file(one).substr(0, 40)},
        {"agn2tsv", agn_file({timed(19782, 1440, 0x1B, 30, "x")})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x13, 30, "x")})}, // no alarm word after the text
        {"agn2tsv", agn_file({dbf_record(1, word(1) + word(2) + "\x1B")})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x1B, 30, "x"), repeat_of(7, 1, 0xFFFF, "", 32)})},
        {"agn2tsv", agn_file({timed(19782, 600, 0x1B, 30, "x"), dbf_record(5, "\x01")})},
        {"agn2tsv", dbf_file(dbf_record(2, "\x03\x03"))},
        {"spr2tsv", ""},
        {"spr2tsv", "SPREADSHEEP" + std::string(11, '\0')},
        {"spr2tsv", spr_file(spr_record(2, "ab")).substr(0, 25)},
        {"spr2tsv", spr_file(spr_cell(9000, 0, 0x01, 0x7F, real_bytes(1)))},
        {"spr2tsv", spr_file(spr_cell(0, 0, 0x02, 0x7F,
                                      "\x09"
                                      "ab"))},
        {"spr2tsv", spr_file(spr_cell(0, 0, 0x01, 0x7F, "abc"))},
    };
    for (const auto& c : cases) {
        spit(dir / "bad", c.content);
        const auto r = sh("'" + program(c.run) + "' bad");
        EXPECT_EQ(r.code, 1) << c.run << " " << c.content.size() << " bytes: " << r.err;
        EXPECT_EQ(r.out, "") << c.run;
        EXPECT_EQ(r.err.rfind(std::string(c.run) + ": bad: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(Converters, FiveMegabyteAgendasAndSheetsInWellUnderASecond) {
    if (sanitized())
        GTEST_SKIP() << "time is not measured under sanitizers";
    std::vector<std::string> entries;
    for (int i = 0; entries.size() * 40 < 5000000; ++i)
        entries.push_back(timed(19000 + i % 3000, 600, 0x1B, 30, "Entry number " + std::to_string(i) + " of many"));
    spit(dir / "big.agn", agn_file(entries));
    std::string cells;
    for (unsigned i = 0; cells.size() < 5000000; ++i)
        cells += spr_cell(i % 100, i / 100, 0x01, 0x7F, real_bytes(i * 0.5));
    spit(dir / "big.spr", spr_file(cells));
    for (const char* name : {"agn2tsv", "spr2tsv"}) {
        const auto r = run_limited({program(name)}, dir / (std::string("big.") + (name[0] == 'a' ? "agn" : "spr")),
                                   false, dir / "out");
        EXPECT_EQ(r.code, 0) << name;
        EXPECT_LT(r.cpu_seconds, 0.6) << name;
    }
}
