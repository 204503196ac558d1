// agn2ics [-o FILE.ics] FILE.agn: the organiser's agenda as an iCalendar file (RFC 5545) that any
// calendar program imports: every entry one component in file order, floating local times (the
// organiser keeps no time zone), repeats as rules that fall on exactly the organiser's days, alarms
// that ring at the organiser's local time, to-dos with their lists, priorities and due days.

#include "agenda.h"
#include "calendar.h"
#include "content_lines.h"
#include "fields.h"
#include "kconv.h"

#include <map>

using namespace kconv;

namespace {

const char* const usage = "usage: agn2ics [-o FILE.ics] FILE.agn\n"
                          "Writes the organiser agenda as an iCalendar file (for Google Calendar, Outlook,\n"
                          "Thunderbird, Apple Calendar) on standard output, or into FILE.ics with -o.\n";

const char* const ical_days[] = {"MO", "TU", "WE", "TH", "FR", "SA", "SU"};

std::string digits(std::int64_t value, int width) {
    std::string s = std::to_string(value);
    return std::string(s.size() < static_cast<std::size_t>(width) ? width - s.size() : 0, '0') + s;
}

std::string ical_date(std::int64_t day) {
    const civil_date c = civil_from_days(day);
    return digits(c.year, 4) + digits(c.month, 2) + digits(c.day, 2);
}

// A floating local date and time: no zone, so that a calendar shows it in its own.
std::string ical_time(std::int64_t day, std::int64_t minute) {
    return ical_date(day) + "T" + digits(minute / 60, 2) + digits(minute % 60, 2) + "00";
}

// A nominal duration, days kept as days: an alarm a day before rings at the same local time even
// across a change to or from summer time.
std::string duration(std::int64_t minutes) {
    std::string out = minutes < 0 ? "-P" : "P";
    minutes = minutes < 0 ? -minutes : minutes;
    if (minutes >= minutes_a_day)
        out += std::to_string(minutes / minutes_a_day) + "D";
    minutes %= minutes_a_day;
    if (minutes > 0 || out.back() == 'P') {
        out += "T";
        if (minutes >= 60)
            out += std::to_string(minutes / 60) + "H";
        if (minutes % 60 > 0 || minutes == 0)
            out += std::to_string(minutes % 60) + "M";
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : ",") + p;
    return out;
}

// How an entry's days are written: where it starts, and its rule or its dates.
struct schedule {
    std::int64_t first = 0;
    std::string rrule;                  // empty: no rule
    std::vector<std::int64_t> dates;    // RDATE: where no rule fits
    std::vector<std::int64_t> excluded; // EXDATE
};

// Monthly by date, as the organiser shows it: a day the month lacks falls on its last day. Empty
// where no rule fits (the 29th and the 30th together, without the 31st).
std::string month_days_rule(std::uint32_t days) {
    std::vector<std::string> low, parts;
    for (int d = 1; d <= 28; ++d)
        if (days >> (d - 1) & 1)
            low.push_back(std::to_string(d));
    const bool d29 = days >> 28 & 1, d30 = days >> 29 & 1, d31 = days >> 30 & 1;
    if (d31) { // the last day: where 31 falls, and where 29 and 30 fall in a month without them
        parts = low;
        if (d29)
            parts.push_back("29");
        if (d30)
            parts.push_back("30");
        parts.push_back("-1");
        return "BYMONTHDAY=" + joined(parts);
    }
    if (!d29 && !d30)
        return "BYMONTHDAY=" + joined(low);
    if (d29 && d30)
        return {};
    // The listed days, then the last of 28 .. the clamped day that the month has.
    parts = low;
    for (int d = 28; d <= (d30 ? 30 : 29); ++d)
        if (d != 28 || !(days >> 27 & 1))
            parts.push_back(std::to_string(d));
    std::vector<std::string> positions;
    for (std::size_t i = 1; i <= low.size(); ++i)
        positions.push_back(std::to_string(i));
    positions.push_back("-1");
    return "BYMONTHDAY=" + joined(parts) + ";BYSETPOS=" + joined(positions);
}

// The RRULE's rule part for the organiser's rule, without its end; empty where none fits.
std::string rule_part(const repeat_rule& r, std::int64_t first) {
    const std::string interval = r.interval > 1 ? ";INTERVAL=" + std::to_string(r.interval) : "";
    std::vector<std::string> days;
    switch (r.kind) {
    case repeat_rule::daily:
        return "FREQ=DAILY" + interval;
    case repeat_rule::workdays:
        return r.interval > 1 ? "" : "FREQ=WEEKLY;BYDAY=MO,TU,WE,TH,FR";
    case repeat_rule::weekly:
        for (int d = 0; d < 7; ++d)
            if ((r.weekdays ? r.weekdays : 1u << weekday_of(first)) >> d & 1)
                days.push_back(ical_days[d]);
        return "FREQ=WEEKLY" + interval + ";BYDAY=" + joined(days) +
               (r.interval > 1 ? std::string(";WKST=") + ical_days[r.week_start] : "");
    case repeat_rule::monthly_by_date: {
        const std::string by = month_days_rule(r.month_days ? r.month_days : 1u << (civil_from_days(first).day - 1));
        return by.empty() ? "" : "FREQ=MONTHLY" + interval + ";" + by;
    }
    case repeat_rule::monthly_by_weekday:
        for (int w = 0; w < 5; ++w)
            for (int d = 0; d < 7; ++d)
                if (r.weeks[static_cast<std::size_t>(w)] >> d & 1)
                    days.push_back((w == 4 ? "-1" : std::to_string(w + 1)) + ical_days[d]);
        return "FREQ=MONTHLY" + interval + ";BYDAY=" + joined(days);
    case repeat_rule::yearly: {
        const civil_date c = civil_from_days(first);
        // From 29 February the organiser shows the 28th in common years: February's last day.
        return "FREQ=YEARLY" + interval + (c.month == 2 && c.day == 29 ? ";BYMONTH=2;BYMONTHDAY=-1" : "");
    }
    }
    return {};
}

// The first day the organiser shows the repeat on, looked for in a growing window: most rules give
// one within a year, and the whole of the organiser's calendar is searched only where none does.
std::int64_t first_occurrence(const repeat_rule& r, std::int64_t day, std::int64_t horizon) {
    for (std::int64_t span : {400, 6000, 30000}) {
        const auto days = occurrences(r, day, day, std::min(horizon, day + span));
        if (!days.empty())
            return days.front();
    }
    return -1;
}

schedule schedule_of(const agenda_entry& e, const repeat_rule& r, bool timed) {
    schedule s;
    s.first = e.day;
    const std::int64_t horizon = r.until >= 0 ? r.until : std::max(e.day, last_organiser_day);
    const std::int64_t first = first_occurrence(r, e.day, horizon);
    if (first < 0) {
        warn("\"" + e.text + "\" repeats on no day: written once, on its own day");
        return s;
    }
    s.first = first;
    const std::string part = rule_part(r, e.day);
    if (part.empty()) {
        const auto days = occurrences(r, e.day, e.day, horizon);
        warn("\"" + e.text + "\" repeats " + r.words() + ", which no iCalendar rule can say: written as its " +
             std::to_string(days.size()) + " days up to " + iso_date(days.back()));
        s.dates.assign(days.begin() + 1, days.end());
        return s;
    }
    s.rrule = "RRULE:" + part;
    if (r.until >= 0)
        s.rrule += ";UNTIL=" + (timed ? ical_time(r.until, e.start) : ical_date(r.until));
    for (std::int64_t d : r.except)
        if (d > s.first && (r.until < 0 || d <= r.until))
            s.excluded.push_back(d);
    return s;
}

class calendar_writer {
public:
    explicit calendar_writer(const std::string& name) {
        lines_.add("BEGIN:VCALENDAR");
        lines_.add("VERSION:2.0");
        lines_.add(std::string("PRODID:-//Kivo//agn2ics ") + kivo_version() + "//EN");
        lines_.add("CALSCALE:GREGORIAN");
        lines_.add("X-WR-CALNAME:" + escaped_text(name));
    }
    void add(const agenda_entry& e) {
        if (e.kind == agenda_entry::todo)
            todo(e);
        else
            event(e);
    }
    std::string finish() {
        lines_.add("END:VCALENDAR");
        return lines_.text();
    }

private:
    // The same entry twice gets two ids; the same file converted again, the same ids.
    std::string uid_of(const agenda_entry& e) {
        const std::string key = std::to_string(e.kind) + "|" + std::to_string(e.day) + "|" + std::to_string(e.start) +
                                "|" + std::to_string(e.due) + "|" + e.text;
        const int seen = ++seen_[key];
        return stable_id(key) + (seen > 1 ? "-" + std::to_string(seen) : "") + "@agn2ics.kivo";
    }

    void begin(const char* component, const agenda_entry& e) {
        lines_.add(std::string("BEGIN:") + component);
        lines_.add("UID:" + uid_of(e));
        lines_.add("DTSTAMP:" + stamp_);
    }

    void description(const agenda_entry& e) {
        std::string text;
        for (const auto& paragraph : e.memo)
            text += (text.empty() ? "" : "\n") + paragraph;
        if (e.memo_state == agenda_entry::unreadable)
            text = "(a memo Kivo could not read)";
        if (e.base_year != 0)
            text += (text.empty() ? "" : "\n") + std::string("Base year: ") + std::to_string(e.base_year);
        if (!text.empty())
            lines_.add("DESCRIPTION:" + escaped_text(text));
    }

    // TRIGGER relative to the start (or, for a to-do, its due day): floating times have no instant.
    void alarm(const agenda_entry& e, std::int64_t from, bool from_end) {
        lines_.add("BEGIN:VALARM");
        lines_.add("ACTION:DISPLAY");
        lines_.add("DESCRIPTION:" + escaped_text(e.text));
        lines_.add(std::string("TRIGGER") + (from_end ? ";RELATED=END" : "") + ":" + duration(*e.alarm - from));
        lines_.add("END:VALARM");
    }

    void event(const agenda_entry& e) {
        const bool timed = e.kind == agenda_entry::timed;
        repeat_rule yearly;
        yearly.kind = repeat_rule::yearly;
        const repeat_rule* rule = e.repeat ? &*e.repeat : e.kind == agenda_entry::anniversary ? &yearly : nullptr;
        schedule s;
        s.first = e.day;
        if (rule)
            s = schedule_of(e, *rule, timed);
        begin("VEVENT", e);
        lines_.add("SUMMARY:" + escaped_text(e.text + (e.crossed_out ? " (crossed out)" : "")));
        if (timed) {
            lines_.add("DTSTART:" + ical_time(s.first, e.start));
            const std::int64_t end = s.first * minutes_a_day + e.start + e.length;
            if (e.length > 0)
                lines_.add("DTEND:" + ical_time(end / minutes_a_day, end % minutes_a_day));
        } else {
            lines_.add("DTSTART;VALUE=DATE:" + ical_date(s.first));
            lines_.add("DTEND;VALUE=DATE:" + ical_date(s.first + 1)); // the end is exclusive
        }
        dates(s, timed ? e.start : -1);
        description(e);
        if (e.alarm)
            alarm(e, e.day * minutes_a_day + (timed ? e.start : 0), false);
        lines_.add("END:VEVENT");
    }

    void dates(const schedule& s, std::int64_t start) {
        const auto value = [start](std::int64_t day) { return start >= 0 ? ical_time(day, start) : ical_date(day); };
        const std::string type = start >= 0 ? "" : ";VALUE=DATE";
        if (!s.rrule.empty())
            lines_.add(s.rrule);
        for (std::size_t i = 0; i < s.dates.size(); i += 64) { // a line of dates at a time
            std::vector<std::string> some;
            for (std::size_t j = i; j < s.dates.size() && j < i + 64; ++j)
                some.push_back(value(s.dates[j]));
            lines_.add("RDATE" + type + ":" + joined(some));
        }
        std::vector<std::string> excluded;
        for (std::int64_t d : s.excluded)
            excluded.push_back(value(d));
        if (!excluded.empty())
            lines_.add("EXDATE" + type + ":" + joined(excluded));
    }

    void todo(const agenda_entry& e) {
        begin("VTODO", e);
        lines_.add("SUMMARY:" + escaped_text(e.text));
        // The day field of a crossed-out to-do is the day it was crossed out, not one it is shown from.
        const bool shown_from = e.day >= 0 && !e.crossed_out && (e.due < 0 || e.day < e.due);
        if (shown_from)
            lines_.add("DTSTART;VALUE=DATE:" + ical_date(e.day));
        if (e.due >= 0)
            lines_.add("DUE;VALUE=DATE:" + ical_date(e.due));
        lines_.add("PRIORITY:" + std::to_string(e.priority));
        lines_.add(e.crossed_out ? "STATUS:COMPLETED" : "STATUS:NEEDS-ACTION");
        if (!e.list.empty())
            lines_.add("CATEGORIES:" + escaped_text(e.list));
        description(e);
        if (e.repeat)
            warn("\"" + e.text + "\": a to-do's repeat is left out");
        if (e.alarm && (e.due >= 0 || shown_from))
            alarm(e, (e.due >= 0 ? e.due : e.day) * minutes_a_day, e.due >= 0);
        else if (e.alarm)
            warn("\"" + e.text + "\": an alarm without a day to ring on is left out");
        lines_.add("END:VTODO");
    }

    content_lines lines_;
    std::string stamp_ = utc_stamp();
    std::map<std::string, int> seen_;
};

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    const bool to_file = first == "-o";
    const bool call_ok = argc == (to_file ? 4 : 2);
    if (const int done = standard_call("agn2ics", usage, argc, argv, call_ok); done >= 0)
        return done;
    const std::string input = argv[argc - 1], output = to_file ? argv[2] : "";
    return run("agn2ics", input, [&] {
        const auto entries = read_agenda(read_organiser_file(input, check_agenda_signature));
        std::string name = input.substr(input.find_last_of("/\\") + 1);
        calendar_writer calendar(name.substr(0, name.rfind('.')));
        for (const agenda_entry& e : entries)
            calendar.add(e);
        write_result(input, output, calendar.finish());
    });
}
