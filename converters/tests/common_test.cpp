// converters/common where it holds logic of its own: days and dates, the days a repeat falls on,
// content lines, text kept in flat memory, and output sets.

#include "agenda.h"
#include "calendar.h"
#include "content_lines.h"
#include "output_set.h"
#include "support.h"

using namespace converter_tests;

TEST(Common, DaysAndDates) {
    const struct {
        std::int64_t day;
        const char* date;
        int weekday;
    } days[] = {{0, "1970-01-01", 3},      {-1, "1969-12-31", 2},     {3652, "1980-01-01", 1},
                {11016, "2000-02-29", 1},  {-25508, "1900-03-01", 3}, {29219, "2049-12-31", 4},
                {-719468, "0000-03-01", 2}};
    for (const auto& d : days) {
        EXPECT_EQ(kconv::iso_date(d.day), d.date);
        const kconv::civil_date c = kconv::civil_from_days(d.day);
        EXPECT_EQ(kconv::days_from_civil(c.year, c.month, c.day), d.day) << d.date;
        EXPECT_EQ(kconv::weekday_of(d.day), d.weekday) << d.date;
    }
    EXPECT_EQ(kconv::days_in_month(1900, 2), 28);
    EXPECT_EQ(kconv::days_in_month(2000, 2), 29);
}

// The organiser's way with month ends, leap days, weeks and intervals.
TEST(Common, TheDaysARepeatFallsOn) {
    using rule = kconv::repeat_rule;
    const auto day = [](int y, int m, int d) { return kconv::days_from_civil(y, m, d); };
    const auto make = [](rule::kind_t kind, unsigned interval) {
        rule r;
        r.kind = kind;
        r.interval = interval;
        return r;
    };
    rule on_31st = make(rule::monthly_by_date, 1);
    on_31st.month_days = 1u << 30;
    rule last_friday = make(rule::monthly_by_weekday, 1);
    last_friday.weeks[4] = 1u << 4;
    rule fortnightly = make(rule::weekly, 2);
    fortnightly.weekdays = 1u << 0 | 1u << 3; // Mon, Thu
    fortnightly.except = {day(1993, 8, 19)};
    rule weeks_from_sunday = make(rule::weekly, 2);
    weeks_from_sunday.weekdays = 1u << 6; // Sun
    weeks_from_sunday.week_start = 6;
    rule workdays = make(rule::workdays, 2);
    workdays.until = day(1993, 7, 12);
    const struct {
        const char* what;
        rule r;
        std::int64_t first;
        const char* days;
    } cases[] = {
        {"31st", on_31st, day(1996, 1, 31), "1996-01-31 1996-02-29 1996-03-31 1996-04-30 "},
        {"29 February", make(rule::yearly, 1), day(1992, 2, 29), "1992-02-29 1993-02-28 1994-02-28 1995-02-28 "},
        {"last Friday", last_friday, day(1993, 8, 27), "1993-08-27 1993-09-24 1993-10-29 1993-11-26 "},
        {"every 2 weeks", fortnightly, day(1993, 8, 2), "1993-08-02 1993-08-05 1993-08-16 1993-08-30 "},
        {"weeks from Sunday", weeks_from_sunday, day(1993, 8, 2), "1993-08-15 1993-08-29 1993-09-12 1993-09-26 "},
        {"every 2 workdays", workdays, day(1993, 7, 2), "1993-07-02 1993-07-06 1993-07-08 1993-07-12 "},
    };
    for (const auto& c : cases) {
        std::string shown;
        const auto days = kconv::occurrences(c.r, c.first, c.first, c.first + 1500);
        for (std::size_t i = 0; i < days.size() && i < 4; ++i)
            shown += kconv::iso_date(days[i]) + " ";
        EXPECT_EQ(shown, c.days) << c.what;
    }
}

TEST(Common, ContentLinesFoldBetweenCharacters) {
    const struct {
        std::string line;
        std::size_t lines;
    } cases[] = {{std::string(75, 'a'), 1},
                 {std::string(76, 'a'), 2},
                 {std::string(75 + 74, 'a'), 2},
                 {std::string(75 + 75, 'a'), 3},
                 {std::string(74, 'a') + "é", 2}};
    for (const auto& c : cases) {
        kconv::content_lines out;
        out.add(c.line);
        std::string unfolded;
        std::size_t lines = 0;
        std::istringstream text(out.text());
        for (std::string l; std::getline(text, l); ++lines) {
            ASSERT_EQ(l.back(), '\r');
            l.pop_back();
            EXPECT_LE(l.size(), 75u);
            if (lines > 0) {
                EXPECT_EQ(l[0], ' ');
                l.erase(0, 1);
            }
            unfolded += l;
        }
        EXPECT_EQ(unfolded, c.line);
        EXPECT_EQ(lines, c.lines) << c.line.size();
    }
    // A continuation line never starts inside a character.
    kconv::content_lines accents;
    std::string line;
    for (int i = 0; i < 60; ++i)
        line += "é€";
    accents.add(line);
    for (std::size_t at = accents.text().find("\r\n "); at != std::string::npos;
         at = accents.text().find("\r\n ", at + 1))
        EXPECT_NE(static_cast<unsigned char>(accents.text()[at + 3]) & 0xC0, 0x80u);
    EXPECT_EQ(kconv::escaped_text("a,b;c\\d\ne"), "a\\,b\\;c\\\\d\\ne");
    EXPECT_EQ(kconv::stable_id("x"), kconv::stable_id("x"));
    EXPECT_NE(kconv::stable_id("x"), kconv::stable_id("y"));
}

TEST(Common, ASpillBufferKeepsItsOrderInMemoryAndOnDisk) {
    for (std::size_t memory : {std::size_t{1} << 20, std::size_t{16}}) {
        kconv::spill_buffer b(memory);
        std::string written;
        for (int i = 0; i < 1000; ++i) {
            const std::string piece = std::to_string(i) + ",";
            b.append(piece.data(), piece.size());
            b.append(';');
            written += piece + ";";
        }
        std::string read;
        b.drain([&read](const char* data, std::size_t size) { read.append(data, size); });
        EXPECT_EQ(read, written) << memory;
        EXPECT_TRUE(b.empty());
    }
}

// Every target checked before any is written; without commit nothing lands; with it all do.
TEST_F(Converters, AnOutputSetLandsWholeOrNotAtAll) {
    const std::string input = (dir / "in.pic").string();
    spit(input, "input");
    spit(dir / "a.pcx", "earlier");
    {
        kconv::output_set set(input);
        const auto a = set.add((dir / "a.pcx").string()), b = set.add((dir / "a_2.pcx").string());
        set.write(a, kconv::bytes{'n', 'e', 'w'});
        set.write(b, kconv::bytes{'t', 'w', 'o'});
        EXPECT_EQ(slurp(dir / "a.pcx"), "earlier") << "nothing lands before commit";
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2) << "the new files went";
    fs::create_symlink(dir / "elsewhere", dir / "a_3.pcx");
    {
        kconv::output_set set(input);
        set.add((dir / "a.pcx").string());
        EXPECT_THROW(set.add((dir / "a_3.pcx").string()), kconv::error);
        EXPECT_THROW(set.add(input), kconv::error);
    }
    fs::remove(dir / "a_3.pcx");
    kconv::output_set set(input);
    set.write(set.add((dir / "a.pcx").string()), kconv::bytes{'n', 'e', 'w'});
    set.write_at(0, 0, kconv::bytes{'N'});
    set.commit();
    EXPECT_EQ(slurp(dir / "a.pcx"), "New");
}
