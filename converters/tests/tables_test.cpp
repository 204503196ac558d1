// Comma- and tab-separated text both ways, the shortest spelling of numbers, and tables in flat memory.

#include "builders.h"
#include "support.h"

#include <gtest/gtest.h>

using namespace converter_tests;

TEST_F(Converters, CsvToTsvKeepsEveryRecord) {
    const std::pair<const char*, const char*> cases[] = {
        {"a,b\n1,2\n", "a\tb\n1\t2\n"},
        {"a,b\r\n1,2\r\n", "a\tb\n1\t2\n"},
        {"\"x, y\",z\n", "x, y\tz\n"},
        {"\"say \"\"hi\"\"\",2\n", "say \"hi\"\t2\n"},
        {"\"two\nlines\",\"cr\r\nlf\",\"lone\rcr\"\n", "two lines\tcr lf\tlone cr\n"},
        {",,\n\"\",x\n", "\t\t\n\tx\n"},
        {"caf\xC3\xA9,\xE6\x97\xA5\n", "caf\xC3\xA9\t\xE6\x97\xA5\n"},
        {"tab\tinside,x", "tab inside\tx\n"},
        {"", ""},
    };
    for (const auto& [csv, tsv] : cases)
        EXPECT_EQ(filter("csv2tsv", csv), tsv) << csv;
}

TEST_F(Converters, TsvToCsvQuotesWhatNeedsIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"a\tb\n1\t2\n", "a,b\r\n1,2\r\n"},
        {"name\tnote\nAnn\tsays \"hi\", twice\n", "name,note\r\nAnn,\"says \"\"hi\"\", twice\"\r\n"},
        {"a\r\n\tb\r\n", "a\r\n,b\r\n"},
        {"last", "last\r\n"},
        {"", ""},
    };
    for (const auto& [tsv, csv] : cases)
        EXPECT_EQ(filter("tsv2csv", tsv), csv) << tsv;
    EXPECT_EQ(filter("csv2tsv", filter("tsv2csv", "x,1\t\"q\"\t\n")), "x,1\t\"q\"\t\n");
}

TEST_F(Converters, ALargeCsvTakesWellUnderASecond) {
    if (sanitized())
        GTEST_SKIP() << "time is not measured under sanitizers";
    std::string csv;
    while (csv.size() < 2'600'000)
        csv += "\"Smith, Ann\",\"says \"\"hi\"\"\",12345,\"line\nbreak\",plain text field\n";
    spit(dir / "big.csv", csv);
    const auto r = run_limited({program("csv2tsv")}, dir / "big.csv", true, dir / "out");
    EXPECT_EQ(r.code, 0);
    EXPECT_LT(r.cpu_seconds, 1.0);
}

TEST_F(Converters, CsvQuotesOnlyOpenAField) {
    const struct {
        std::string csv, tsv, note;
    } cases[] = {
        {"item,size\r\nfloppy,3.5\" disk,10\r\nnext,1\r\n", "item\tsize\nfloppy\t3.5\" disk\t10\nnext\t1\n", ""},
        {"a,\"open\r\nb,c\r\n", "a\topen b,c \n", "still open"},
        {"Name;Price\r\n\"Smith; J\";3,50\r\n", "Name\tPrice\nSmith; J\t3,50\n", "semicolons"},
    };
    for (const auto& c : cases) {
        spit(dir / "in", c.csv);
        const auto r = sh("'" + program("csv2tsv") + "' < in");
        EXPECT_EQ(r.out, c.tsv) << c.csv;
        EXPECT_EQ(r.err.find(c.note) != std::string::npos && !r.err.empty(), !c.note.empty()) << r.err;
    }
}

// Whatever the table, the table converters hold little of it: text streams through, and a field
// longer than the organiser's file can hold, or more of them, is counted and left, not kept.
TEST_F(Converters, TablesStayInFlatMemory) {
    {
        std::ofstream tabs(dir / "tabs.tsv", std::ios::binary);
        tabs << "Name\tTel\n" << std::string(50u << 20, '\t') << "\n";
        std::ofstream line(dir / "line.tsv", std::ios::binary);
        line << "Name\n" << std::string(200u << 20, 'x') << ",\n";
    }
    for (const char* converter : {"csv2tsv", "tsv2csv", "tsv2dbf", "tsv2spr"})
        for (const char* input : {"tabs.tsv", "line.tsv"}) {
            const auto r = run_limited({program(converter)}, dir / input, true, dir / "out");
            EXPECT_EQ(r.code, 0) << converter << " " << input << slurp(dir / "out.err");
            EXPECT_LT(r.peak_kb, 64 * 1024) << converter << " " << input << ": KB";
            if (std::string(converter) == "tsv2csv" && std::string(input) == "line.tsv") {
                EXPECT_EQ(r.out_size, 6 + 200u * 1024 * 1024 + 5) << "the long field quoted whole";
            }
        }
    EXPECT_NE(slurp(dir / "out.err").find("1 text(s) longer than 255 bytes were cut"), std::string::npos);
}

TEST(Numbers, PlainDecimalsAsPeopleWriteThemTheExponentFormOnlyBeyond) {
    const std::pair<double, const char*> cases[] = {
        {1e5, "100000"},       {100000, "100000"},     {2.50, "2.5"},
        {-0.0, "-0"},          {0.1, "0.1"},           {1e-6, "0.000001"},
        {1.5e-6, "0.0000015"}, {-1234.5, "-1234.5"},   {1e-7, "1e-7"},
        {1e21, "1e+21"},       {1.25e22, "1.25e+22"},  {123456789012345678e3, "123456789012345680000"},
        {5e-324, "5e-324"},    {0.000123, "0.000123"}, {1.7976931348623157e308, "1.7976931348623157e+308"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(kconv::shortest_number(value), text);
        EXPECT_EQ(std::strtod(text, nullptr), value) << text << " reads back";
    }
}
