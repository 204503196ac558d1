#include "agenda.h"

#include "calendar.h"
#include "dbf.h"
#include "fields.h"
#include "framing.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace kconv {

namespace {

constexpr std::uint16_t no_day = 0xFFFF;
constexpr std::int64_t series3_day_shift = 25567; // 1900-01-01 to 1970-01-01

const char* const weekday_names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const week_names[] = {"1st", "2nd", "3rd", "4th", "last"};

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : ",") + p;
    return out;
}

// (day, 23:59) less `before` minutes: the organiser's alarm.
std::int64_t alarm_at(std::int64_t day, std::int64_t before) {
    return day * minutes_a_day + minutes_a_day - 1 - before;
}

std::string text_of(const record_reader& r, std::size_t offset, std::size_t& next) {
    std::size_t length = 0;
    const std::uint8_t* data = r.qstr_at(offset, length, next);
    return field_text(data, length);
}

// ---- Series 3a, 3c and Siena

// The memo: a word $4000 + (10 + T), the run table's length R, 10 bytes, T bytes of text
// (paragraphs separated by 0), R bytes of runs.
void read_memo(const record_reader& r, std::size_t at, agenda_entry& e) {
    e.memo_state = agenda_entry::unreadable;
    if (at + 2 > r.size())
        return;
    const std::size_t length = r.word_at(at);
    if (at + 2 + length > r.size() || length < 14)
        return;
    const std::size_t t = (r.word_at(at + 2) & 0x3FFFu), runs = r.word_at(at + 4);
    if (t < 10 || 4 + t + runs != length)
        return;
    e.memo_state = agenda_entry::readable;
    const std::uint8_t* text = r.data(at + 2 + 14);
    for (std::size_t start = 0, end = 0; end <= t - 10; ++end)
        if (end == t - 10 || text[end] == 0) {
            e.memo.push_back(organiser_text(text + start, end - start));
            start = end + 1;
        }
}

// The parts after an entry's text: the alarm (bit 3 clear) and the memo (bit 4 clear).
void after_text(const record_reader& r, std::size_t at, unsigned attributes, std::int64_t alarm_day, agenda_entry& e) {
    if (!(attributes & 8)) {
        const std::uint16_t before = r.word_at(at);
        at += std::min<std::size_t>(11, r.size() - at); // the word and a 9-byte sound field
        if (alarm_day >= 0)
            e.alarm = alarm_at(alarm_day, before);
        else
            warn("a to-do's alarm without a day to count from is left out");
    }
    if (!(attributes & 16)) {
        read_memo(r, at, e);
        if (e.memo_state == agenda_entry::unreadable)
            warn("a memo that does not read as expected is shown as \"yes\"");
    }
}

agenda_entry entry_3a(const record_reader& r, unsigned type, const std::map<unsigned, std::string>& lists) {
    agenda_entry e;
    e.kind = static_cast<agenda_entry::kind_t>(type - 1);
    const std::uint16_t day = r.word_at(0);
    const unsigned attributes = r.byte_at(4);
    e.crossed_out = !(attributes & 2);
    e.day = day == no_day ? -1 : day;
    std::size_t next = 0;
    std::int64_t alarm_day = e.day;
    if (e.kind == agenda_entry::timed) {
        e.start = r.word_at(2);
        if (e.start >= minutes_a_day)
            throw error("a timed entry starts at minute " + std::to_string(e.start));
        e.length = r.word_at(6);
        e.text = text_of(r, 9, next);
    } else if (e.kind == agenda_entry::untimed) {
        e.text = text_of(r, 7, next);
    } else if (e.kind == agenda_entry::anniversary) {
        e.base_year = static_cast<std::int16_t>(r.word_at(6));
        e.text = text_of(r, 10, next);
    } else {
        const std::uint16_t due = r.word_at(6);
        e.due = due == no_day ? -1 : due;
        e.priority = 1 + (r.byte_at(9) & 0x0F);
        const auto name = lists.find(r.byte_at(8));
        if (name != lists.end())
            e.list = name->second;
        e.text = text_of(r, 15, next);
        alarm_day = e.due >= 0 ? e.due : e.day;
    }
    after_text(r, next, attributes, alarm_day, e);
    return e;
}

repeat_rule repeat_3a(const record_reader& r, std::size_t& entry_offset) {
    repeat_rule out;
    const unsigned kind = r.byte_at(0) & 7u;
    if (kind > 4)
        throw error("a repeat record of unknown kind " + std::to_string(kind));
    out.kind = static_cast<repeat_rule::kind_t>(kind);
    out.interval = r.byte_at(1) + 1u;
    if (r.word_at(2) != no_day)
        out.until = r.word_at(2);
    std::size_t at = 5;
    if (out.kind == repeat_rule::weekly) {
        out.weekdays = r.byte_at(5) & 0x7Fu;
        out.week_start = std::min(6, static_cast<int>(r.byte_at(6)));
        at = 7;
    } else if (out.kind == repeat_rule::monthly_by_date) {
        out.month_days = r.long_at(5) & 0x7FFFFFFFu;
        at = 9;
    } else if (out.kind == repeat_rule::monthly_by_weekday) {
        for (unsigned w = 0; w < 5; ++w)
            out.weeks[w] = r.byte_at(5 + w) & 0x7Fu;
        at = 10;
    }
    entry_offset = r.long_at(at);
    for (at += 4; at + 2 <= r.size(); at += 2) {
        const std::int64_t d = r.word_at(at);
        if (d >= first_organiser_day && d <= last_organiser_day)
            out.except.insert(d);
    }
    return out;
}

std::map<unsigned, std::string> todo_lists(const bytes& file, const std::vector<framed_record>& records) {
    std::map<unsigned, std::string> lists;
    for (const framed_record& rec : records)
        if (rec.type == 9) {
            const record_reader r(file, rec);
            const std::size_t end = std::min<std::size_t>(r.size(), 18);
            const auto* name = r.data(2);
            lists[r.byte_at(1)] =
                field_text(name, static_cast<std::size_t>(std::find(name, name + (end > 2 ? end - 2 : 0), 0) - name));
        }
    return lists;
}

std::vector<agenda_entry> agenda_3a(const bytes& file) {
    if (get16(file, 16) != 0x100F)
        warn("unexpected version " + std::to_string(get16(file, 16)) + " (read as 0x100F)");
    const std::size_t first = get16(file, 18);
    if (first < 32 || first > file.size())
        throw error("not an agenda file (header size " + std::to_string(first) + ")");
    const auto records = framed_records(file, first);
    const auto lists = todo_lists(file, records);
    std::vector<agenda_entry> entries;
    std::map<std::size_t, std::size_t> entry_at; // an entry's frame offset -> its place
    for (const framed_record& rec : records)
        if (rec.type >= 1 && rec.type <= 4) {
            entry_at[rec.frame] = entries.size();
            entries.push_back(entry_3a(record_reader(file, rec), rec.type, lists));
        }
    for (const framed_record& rec : records)
        if (rec.type == 5) {
            std::size_t entry = 0;
            const repeat_rule rule = repeat_3a(record_reader(file, rec), entry);
            const auto it = entry_at.find(entry);
            if (it == entry_at.end())
                warn("a repeat record points to no entry (offset " + std::to_string(entry) + ")");
            else
                entries[it->second].repeat = rule;
        }
    return entries;
}

// ---- the original Series 3: a Data file of four words and a qstr

// The repeat block stores no weekdays or dates: they follow from the first occurrence.
repeat_rule repeat_s3(const std::uint8_t* block, std::int64_t& first_day) {
    repeat_rule out;
    // Its order: yearly, monthly by date, monthly by weekday, weekly, daily, workdays.
    static const repeat_rule::kind_t kinds[] = {
        repeat_rule::yearly, repeat_rule::monthly_by_date, repeat_rule::monthly_by_weekday,
        repeat_rule::weekly, repeat_rule::daily,           repeat_rule::workdays};
    if (block[0] > 5)
        throw error("a repeat of unknown kind " + std::to_string(block[0]));
    out.kind = kinds[block[0]];
    out.interval = block[1];
    first_day = std::int64_t{block[2] | block[3] << 8} - series3_day_shift;
    const std::int64_t last = block[4] | block[5] << 8;
    if (last != 0)
        out.until = last - series3_day_shift;
    const int dom = civil_from_days(first_day).day;
    const int weekday = weekday_of(first_day);
    if (out.kind == repeat_rule::weekly)
        out.weekdays = 1u << weekday;
    else if (out.kind == repeat_rule::monthly_by_date)
        out.month_days = 1u << (dom - 1);
    else if (out.kind == repeat_rule::monthly_by_weekday)
        out.weeks[dom >= 29 ? 4 : (dom - 1) / 7] = static_cast<std::uint8_t>(1u << weekday);
    return out;
}

agenda_entry entry_s3(const record_reader& r) {
    agenda_entry e;
    const std::uint16_t day = r.word_at(0), second = r.word_at(2), third = r.word_at(4), before = r.word_at(6);
    std::size_t next = 0;
    e.text = text_of(r, 8, next);
    e.day = std::int64_t{day} - series3_day_shift;
    if (day == 0xFFFE) {
        // The notes give the repeat as 6 bytes "following" the text: after the qstr where the
        // record holds them, else the qstr's own last 6 bytes (the qstr is the last declared field).
        std::size_t block = next;
        if (next + 6 > r.size()) {
            const std::size_t length = r.byte_at(8);
            if (length < 6)
                throw error("a repeating entry without its repeat");
            block = 9 + length - 6;
            e.text = field_text(r.data(9), length - 6);
        }
        r.byte_at(block + 5); // all six there
        e.repeat = repeat_s3(r.data(block), e.day);
    }
    if (day == no_day) {
        e.kind = agenda_entry::todo;
        e.day = -1;
        e.priority = third;
        return e;
    }
    if (third < 0x8000) {
        if (third >= minutes_a_day)
            throw error("a timed entry starts at minute " + std::to_string(third));
        e.kind = agenda_entry::timed;
        e.start = third;
        e.length = second / 2;
    } else {
        e.kind = agenda_entry::untimed;
    }
    if (before != 0xFFFF)
        e.alarm = alarm_at(e.day, before);
    return e;
}

std::vector<agenda_entry> agenda_s3(const bytes& file) {
    const std::size_t first = get16(file, 18);
    if (first < dbf_header_size || first > file.size())
        throw error("not a Data file (header size " + std::to_string(first) + ")");
    const auto records = framed_records(file, first);
    const auto fields =
        std::find_if(records.begin(), records.end(), [](const framed_record& r) { return r.type == dbf_fields; });
    if (fields == records.end() || fields->size != 5 || std::memcmp(file.data() + fields->at, "\0\0\0\0\x03", 5) != 0)
        throw error("a Data file, but not an agenda");
    std::vector<agenda_entry> entries;
    for (const framed_record& rec : records)
        if (rec.type == dbf_data)
            entries.push_back(entry_s3(record_reader(file, rec)));
    return entries;
}

bool agenda_3a_file(const bytes& file) {
    return file.size() >= 32 && std::memcmp(file.data(), "AgendaFileType*", 16) == 0;
}

bool data_file(const bytes& file) {
    return file.size() >= dbf_header_size && std::memcmp(file.data(), dbf_signature, sizeof dbf_signature) == 0;
}

// ---- the days a repeat falls on

std::int64_t month_index(std::int64_t day) {
    const civil_date c = civil_from_days(day);
    return c.year * 12 + (c.month - 1);
}

// The days of one month the rule names, in order, each clamped to the month's last day.
std::vector<std::int64_t> days_in(const repeat_rule& rule, std::int64_t month) {
    const std::int64_t year = month >= 0 ? month / 12 : (month - 11) / 12;
    const int m = static_cast<int>(month - year * 12) + 1;
    const int length = days_in_month(year, m);
    const std::int64_t first = days_from_civil(year, m, 1);
    std::set<std::int64_t> days;
    if (rule.kind == repeat_rule::monthly_by_date) {
        for (int d = 1; d <= 31; ++d)
            if (rule.month_days >> (d - 1) & 1)
                days.insert(first + std::min(d, length) - 1);
    } else {
        const int first_weekday = weekday_of(first);
        for (int w = 0; w < 5; ++w)
            for (int wd = 0; wd < 7; ++wd) {
                if (!(rule.weeks[static_cast<std::size_t>(w)] >> wd & 1))
                    continue;
                const int first_match = 1 + (wd - first_weekday + 7) % 7;
                int d = first_match + 7 * w;
                if (w == 4) // the last such weekday
                    d = first_match + 7 * ((length - first_match) / 7);
                days.insert(first + d - 1);
            }
    }
    return {days.begin(), days.end()};
}

std::vector<std::int64_t> all_occurrences(const repeat_rule& rule, std::int64_t first, std::int64_t to) {
    std::vector<std::int64_t> out;
    const std::int64_t n = std::max(1u, rule.interval);
    const auto add = [&](std::int64_t day) {
        if (day >= first && day <= to)
            out.push_back(day);
    };
    switch (rule.kind) {
    case repeat_rule::daily:
        for (std::int64_t d = first; d <= to; d += n)
            out.push_back(d);
        break;
    case repeat_rule::workdays:
        for (std::int64_t d = first, count = 0; d <= to; ++d)
            if (weekday_of(d) < 5 && count++ % n == 0)
                out.push_back(d);
        break;
    case repeat_rule::weekly: {
        const unsigned days = rule.weekdays ? rule.weekdays : 1u << weekday_of(first);
        const std::int64_t week_of_first = first - (weekday_of(first) - rule.week_start + 7) % 7;
        for (std::int64_t week = week_of_first; week <= to; week += 7 * n)
            for (std::int64_t d = week; d < week + 7; ++d)
                if (days >> weekday_of(d) & 1)
                    add(d);
        break;
    }
    case repeat_rule::monthly_by_date:
    case repeat_rule::monthly_by_weekday: {
        repeat_rule r = rule;
        if (r.kind == repeat_rule::monthly_by_date && !r.month_days)
            r.month_days = 1u << (civil_from_days(first).day - 1);
        for (std::int64_t m = month_index(first); m <= month_index(to); m += n)
            for (std::int64_t d : days_in(r, m))
                add(d);
        break;
    }
    case repeat_rule::yearly: {
        const civil_date c = civil_from_days(first);
        for (std::int64_t y = c.year; days_from_civil(y, 1, 1) <= to; y += n)
            add(days_from_civil(y, c.month, std::min(c.day, days_in_month(y, c.month))));
        break;
    }
    }
    return out;
}

} // namespace

std::string repeat_rule::words() const {
    static const char* const once[] = {"daily", "weekly", "monthly", "monthly", "yearly", "workdays"};
    static const char* const unit[] = {"days", "weeks", "months", "months", "years", "workdays"};
    std::string out = interval <= 1 ? once[kind] : "every " + std::to_string(interval) + " " + unit[kind];
    std::vector<std::string> days;
    if (kind == weekly) {
        for (unsigned d = 0; d < 7; ++d)
            if (weekdays >> d & 1)
                days.push_back(weekday_names[d]);
    } else if (kind == monthly_by_date) {
        for (unsigned d = 0; d < 31; ++d)
            if (month_days >> d & 1)
                days.push_back(std::to_string(d + 1));
        if (!days.empty())
            days[0] = "day " + days[0];
    } else if (kind == monthly_by_weekday) {
        for (unsigned w = 0; w < 5; ++w)
            for (unsigned d = 0; d < 7; ++d)
                if (weeks[w] >> d & 1)
                    days.push_back(std::string(week_names[w]) + " " + weekday_names[d]);
    }
    if (!days.empty())
        out += " on " + joined(days);
    if (until >= 0)
        out += " until " + iso_date(until);
    std::vector<std::string> skipped;
    for (std::int64_t d : except)
        skipped.push_back(iso_date(d));
    if (!skipped.empty())
        out += " except " + joined(skipped);
    return out;
}

std::vector<std::int64_t> occurrences(const repeat_rule& rule, std::int64_t first, std::int64_t from, std::int64_t to) {
    const std::int64_t last = rule.until >= 0 ? std::min(to, rule.until) : to;
    std::vector<std::int64_t> out;
    for (std::int64_t d : all_occurrences(rule, first, last))
        if (d >= from && !rule.except.count(d))
            out.push_back(d);
    return out;
}

std::vector<agenda_entry> read_agenda(const bytes& file) {
    check_agenda_signature(file);
    return agenda_3a_file(file) ? agenda_3a(file) : agenda_s3(file);
}

void check_agenda_signature(const bytes& head) {
    if (!agenda_3a_file(head) && !data_file(head))
        throw error("not an agenda file (bad signature)");
}

} // namespace kconv
