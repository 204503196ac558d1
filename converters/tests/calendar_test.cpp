// agn2ics: every agenda as an iCalendar file that libical (the library Evolution uses) reads without
// an error, whose repeats libical expands to exactly the organiser's days, whose alarms ring at the
// organiser's local time, and whose lines are folded and identified as calendar programs expect.

#include "agenda.h"
#include "builders.h"
#include "calendar.h"
#include "cp850.h"
#include "support.h"

#include <libical/ical.h>

#include <map>
#include <set>

using namespace converter_tests;
using kconv::agenda_entry;

namespace {

class Calendars : public Converters {
protected:
    // agn2ics of the file, parsed by libical; fails the test on a parse error or an RFC error.
    icalcomponent* calendar_of(const fs::path& agn, std::string* text = nullptr) {
        const auto r = sh("SOURCE_DATE_EPOCH=0 '" + program("agn2ics") + "' '" + agn.string() + "'");
        EXPECT_EQ(r.code, 0) << r.err;
        if (text)
            *text = r.out;
        icalcomponent* cal = icalparser_parse_string(r.out.c_str());
        EXPECT_NE(cal, nullptr);
        if (cal) {
            icalrestriction_check(cal);
            EXPECT_EQ(icalcomponent_count_errors(cal), 0) << agn << ":\n" << icalcomponent_as_ical_string(cal);
            parsed_.push_back(cal);
        }
        return cal;
    }
    ~Calendars() override {
        for (icalcomponent* c : parsed_)
            icalcomponent_free(c);
    }

private:
    std::vector<icalcomponent*> parsed_;
};

std::vector<icalcomponent*> components_of(icalcomponent* cal) {
    std::vector<icalcomponent*> out;
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_ANY_COMPONENT))
        out.push_back(c);
    return out;
}

icaltimetype floating_day(std::int64_t day) {
    const kconv::civil_date c = kconv::civil_from_days(day);
    icaltimetype t = icaltime_null_time();
    t.year = static_cast<int>(c.year);
    t.month = c.month;
    t.day = c.day;
    return t;
}

std::int64_t day_of(const icaltimetype& t) {
    return kconv::days_from_civil(t.year, t.month, t.day);
}

std::int64_t minute_of(const icaltimetype& t) {
    return day_of(t) * kconv::minutes_a_day + (t.is_date ? 0 : t.hour * 60 + t.minute);
}

// The days libical's recurrence iterator gives for an event, from `from` to `to` inclusive.
std::vector<std::int64_t> libical_days(icalcomponent* event, std::int64_t from, std::int64_t to) {
    std::set<std::int64_t> days;
    icalcomponent_foreach_recurrence(
        event, floating_day(from), floating_day(to + 1),
        [](icalcomponent*, icaltime_span* span, void* data) {
            const auto start = static_cast<std::int64_t>(span->start);
            static_cast<std::set<std::int64_t>*>(data)->insert(start >= 0 ? start / 86400 : (start - 86399) / 86400);
        },
        &days);
    return {days.begin(), days.end()};
}

kconv::bytes bytes_of(const std::string& s) {
    return kconv::bytes(s.begin(), s.end());
}

std::string dates(const std::vector<std::int64_t>& days) {
    std::string out;
    for (std::int64_t d : days)
        out += kconv::iso_date(d) + " ";
    return out;
}

const char* const genuine_agendas[] = {"agn-emulated-s3a340-calendar.agn", "agn-emulated-s3a340-entries.agn",
                                       "agn-emulated-s3a340-memos-repeats.agn",
                                       "agn-emulated-s3c520-memos-repeats.agn"};

} // namespace

// Every entry one component, in file order; each repeat libical expands falls on the days the
// agenda's rule gives, over two years; each alarm rings where the organiser's did.
TEST_F(Calendars, GenuineAgendasCarryOverWhole) {
    if (!fs::exists(real(genuine_agendas[0])))
        GTEST_SKIP() << "the genuine files are not beside the project";
    for (const char* name : genuine_agendas) {
        const auto entries = kconv::read_agenda(bytes_of(slurp(real(name))));
        icalcomponent* cal = calendar_of(real(name));
        ASSERT_NE(cal, nullptr);
        const auto components = components_of(cal);
        ASSERT_EQ(components.size(), entries.size()) << name;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const agenda_entry& e = entries[i];
            icalcomponent* c = components[i];
            EXPECT_EQ(icalcomponent_isa(c),
                      e.kind == agenda_entry::todo ? ICAL_VTODO_COMPONENT : ICAL_VEVENT_COMPONENT);
            EXPECT_EQ(std::string(icalcomponent_get_summary(c)).rfind(e.text, 0), 0u) << name;
            if (e.repeat) {
                const std::int64_t from = e.day, to = e.day + 731;
                EXPECT_EQ(dates(libical_days(c, from, to)), dates(kconv::occurrences(*e.repeat, e.day, from, to)))
                    << name << ": " << e.text << " " << e.repeat->words();
            }
            icalcomponent* alarm = icalcomponent_get_first_component(c, ICAL_VALARM_COMPONENT);
            EXPECT_EQ(alarm != nullptr, e.alarm.has_value()) << e.text;
            if (alarm && e.kind != agenda_entry::todo) {
                const icaltriggertype trigger =
                    icalproperty_get_trigger(icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
                const std::int64_t rings =
                    minute_of(icalcomponent_get_dtstart(c)) + icaldurationtype_as_int(trigger.duration) / 60;
                EXPECT_EQ(rings, *e.alarm) << e.text;
            }
        }
    }
}

// The dates the organiser itself showed for each repeat, read by its own Search over 1980 to 1996.
TEST_F(Calendars, RepeatsFallOnTheDaysTheOrganiserShowed) {
    const fs::path shown = real("agn-emulated-s3a340-calendar.occurrences.tsv");
    if (!fs::exists(shown))
        GTEST_SKIP() << "the genuine files are not beside the project";
    std::map<std::string, icalcomponent*> by_summary;
    for (icalcomponent* c : components_of(calendar_of(real("agn-emulated-s3a340-calendar.agn"))))
        by_summary[icalcomponent_get_summary(c)] = c;
    std::istringstream lines(slurp(shown));
    std::string line;
    std::getline(lines, line); // the header
    int checked = 0;
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        for (std::size_t at = 0, tab; at <= line.size(); at = tab + 1) {
            tab = std::min(line.find('\t', at), line.size());
            f.push_back(line.substr(at, tab - at));
        }
        const auto day = [](const std::string& iso) {
            return kconv::days_from_civil(std::stoi(iso.substr(0, 4)), std::stoi(iso.substr(5, 2)),
                                          std::stoi(iso.substr(8, 2)));
        };
        std::vector<std::int64_t> organiser;
        for (std::size_t i = 6; i < f.size(); ++i)
            organiser.push_back(day(f[i]));
        ASSERT_TRUE(by_summary.count(f[0])) << f[0];
        EXPECT_EQ(dates(libical_days(by_summary[f[0]], day(f[1]), day(f[2]))), dates(organiser)) << f[0];
        ++checked;
    }
    EXPECT_EQ(checked, 12);
}

// Rules a plain RRULE would get wrong: days a month lacks, 29 February, weeks counted from another
// first day, the original Series 3's workdays.
TEST_F(Calendars, EveryRuleExpandsToTheOrganisersDays) {
    const unsigned jan29 = 8429, wednesday = 8462, leap_day = 8094; // 1993-01-29, 1993-03-03, 1992-02-29
    const auto month_days = [](std::initializer_list<int> days) {
        std::uint32_t bits = 0;
        for (int d : days)
            bits |= 1u << (d - 1);
        return lng(bits);
    };
    const struct {
        const char* what;
        unsigned kind, every, day;
        std::string days;
        bool warns;
    } rules[] = {
        {"monthly on the 30th", 2, 1, jan29 + 1, month_days({30}), false},
        {"monthly on the 29th", 2, 1, jan29, month_days({29}), false},
        {"monthly on the 29th and 30th", 2, 1, jan29, month_days({29, 30}), true},
        {"monthly on the 30th and 31st", 2, 1, jan29 + 1, month_days({30, 31}), false},
        {"every 2 months on the 15th and 30th", 2, 2, jan29 - 14, month_days({15, 30}), false},
        {"monthly on the 28th, 29th and 31st", 2, 1, jan29 - 1, month_days({28, 29, 31}), false},
        {"every 3 weeks on Tue and Sat, weeks from Sunday", 1, 3, wednesday, std::string("\x22\x06", 2), false},
        {"every 2 months on the 4th Wed and last Sun", 3, 2, wednesday, std::string("\0\0\0\x04\x40", 5), false},
        {"every 2 years from 29 February", 4, 2, leap_day, "", false},
    };
    for (const auto& r : rules) {
        const std::vector<std::string> records = {timed(r.day, 600, 0x1A, 30, "Rule")};
        const std::string file = agn_file({records[0], repeat_of(r.kind, r.every, 0xFFFF, r.days, 32)});
        spit(dir / "r.agn", file);
        icalcomponent* cal = calendar_of(dir / "r.agn");
        ASSERT_NE(cal, nullptr) << r.what;
        const auto e = kconv::read_agenda(bytes_of(file)).at(0);
        const std::int64_t to = e.day + 5 * 366;
        EXPECT_EQ(dates(libical_days(components_of(cal).at(0), e.day, to)),
                  dates(kconv::occurrences(*e.repeat, e.day, e.day, to)))
            << r.what;
        EXPECT_EQ(slurp(dir / "err").find("no iCalendar rule can say") != std::string::npos, r.warns) << r.what;
    }
    // The original Series 3: every 2 workdays, from Friday 1993-07-02 (day 34151 from 1900) for ever.
    const std::string block = std::string("\x05\x02", 2) + word(34151) + word(0);
    spit(dir / "s3.agn",
         dbf_file(dbf_record(2, std::string("\0\0\0\0\x03", 5)) +
                  dbf_record(1, word(0xFFFE) + word(61) + word(540) + word(0xFFFF) + qstr("Shift" + block))));
    icalcomponent* s3 = calendar_of(dir / "s3.agn");
    ASSERT_NE(s3, nullptr);
    const auto e = kconv::read_agenda(bytes_of(slurp(dir / "s3.agn"))).at(0);
    EXPECT_EQ(dates(libical_days(components_of(s3).at(0), e.day, e.day + 800)),
              dates(kconv::occurrences(*e.repeat, e.day, e.day, e.day + 800)));
}

// What a calendar program relies on: a UID that stays, lines folded between characters, an all-day
// event that ends the next day, floating times.
TEST_F(Calendars, TheFileIsAsCalendarProgramsExpectIt) {
    const std::string name = "Flüge nach Zürich, Genève; München \\ Paris: " + std::string(40, 'x') + " éèê£";
    kconv::cp850_counts counts;
    const std::string typed = kconv::cp850_from_utf8(name, counts); // as the organiser stores it
    const std::vector<std::string> records = {timed(8585, 480, 0x0B, 90, typed, memo_part(std::string("one\0two", 7))),
                                              untimed(8586, 0x1B, "Bins")};
    spit(dir / "a.agn", agn_file(records));
    std::string first, second;
    icalcomponent* cal = calendar_of(dir / "a.agn", &first);
    ASSERT_NE(cal, nullptr);
    calendar_of(dir / "a.agn", &second);
    EXPECT_EQ(first, second) << "the same file gives the same calendar, UIDs and all";
    std::set<std::string> uids;
    for (icalcomponent* c : components_of(cal))
        uids.insert(icalcomponent_get_uid(c));
    EXPECT_EQ(uids.size(), 2u);
    std::istringstream lines(first);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.back(), '\r') << "CR LF";
        EXPECT_LE(line.size(), 76u) << line;
        EXPECT_FALSE(line.size() > 1 && line[0] == ' ' && (static_cast<unsigned char>(line[1]) & 0xC0) == 0x80)
            << "folded inside a character: " << line;
    }
    const auto components = components_of(cal);
    EXPECT_EQ(std::string(icalcomponent_get_summary(components[0])), name);
    EXPECT_EQ(std::string(icalcomponent_get_description(components[0])), "one\ntwo");
    const icaltimetype start = icalcomponent_get_dtstart(components[0]);
    EXPECT_TRUE(start.zone == nullptr && !icaltime_is_utc(start)) << "floating";
    EXPECT_EQ(minute_of(icalcomponent_get_dtend(components[0])) - minute_of(start), 90);
    const icaltimetype day = icalcomponent_get_dtstart(components[1]), end = icalcomponent_get_dtend(components[1]);
    EXPECT_TRUE(day.is_date);
    EXPECT_EQ(day_of(end), day_of(day) + 1) << "an all-day event ends the next day";
    EXPECT_EQ(first.find("DTSTAMP:19700101T000000Z"), first.find("DTSTAMP:")) << "SOURCE_DATE_EPOCH";

    const auto r = sh("'" + program("agn2ics") + "' -o a.ics a.agn");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(slurp(dir / "a.ics").size(), first.size());
}

// To-dos: priorities, lists, due days, done; an alarm counted from the due day.
TEST_F(Calendars, ToDosKeepTheirDetails) {
    const std::vector<std::string> records = {dbf_record(9, std::string("\xFF\x01", 2) + std::string("Work", 4) +
                                                                std::string(13, '\0') + '\x01' + std::string(22, '\0')),
                                              todo(8591, 0x13, 8596, 1, 3, "Report", alarm_part(2339)),
                                              todo(8580, 0x19, 0xFFFF, 1, 9, "Done")};
    spit(dir / "t.agn", agn_file(records));
    icalcomponent* cal = calendar_of(dir / "t.agn");
    ASSERT_NE(cal, nullptr);
    const auto todos = components_of(cal);
    ASSERT_EQ(todos.size(), 2u);
    EXPECT_EQ(icalproperty_get_priority(icalcomponent_get_first_property(todos[0], ICAL_PRIORITY_PROPERTY)), 3);
    EXPECT_EQ(
        std::string(icalproperty_get_categories(icalcomponent_get_first_property(todos[0], ICAL_CATEGORIES_PROPERTY))),
        "Work");
    EXPECT_EQ(day_of(icalcomponent_get_due(todos[0])), 8596);
    EXPECT_EQ(day_of(icalcomponent_get_dtstart(todos[0])), 8591);
    icalcomponent* alarm = icalcomponent_get_first_component(todos[0], ICAL_VALARM_COMPONENT);
    ASSERT_NE(alarm, nullptr);
    const icaltriggertype trigger =
        icalproperty_get_trigger(icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY));
    EXPECT_EQ(8596 * 1440 + icaldurationtype_as_int(trigger.duration) / 60, 8595 * 1440 + 540)
        << "09:00 the day before";
    EXPECT_EQ(icalcomponent_get_status(todos[1]), ICAL_STATUS_COMPLETED);
}
