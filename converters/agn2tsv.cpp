// agn2tsv FILE.agn: the organiser's agenda to tab-separated text on standard output: a header row,
// then one row an entry in file order, with its dates, times, alarm, repeat rule in words, memo and
// to-do details. Reads the Series 3a, 3c and Siena layout and the original Series 3's (a Data file).

#include "dbf.h"
#include "fields.h"
#include "kconv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>

using namespace kconv;

namespace {

const char* const columns[] = {"Type",   "Start Date",  "Start Time", "End Date", "End Time", "Text", "Alarm",
                               "Repeat", "Crossed Out", "Memo",       "Priority", "Due Date", "List", "Base Year"};
enum column {
    type,
    start_date,
    start_time,
    end_date,
    end_time,
    text,
    alarm,
    repeat,
    crossed_out,
    memo,
    priority,
    due_date,
    list,
    base_year,
    column_count
};
using row = std::array<std::string, column_count>;

constexpr std::uint16_t no_day = 0xFFFF;
constexpr std::int64_t minutes_a_day = 1440;
constexpr std::int64_t first_legal_day = 3652, last_legal_day = 29219; // 1980-01-01, 2049-12-31
constexpr std::int64_t series3_day_shift = 25567;                      // 1900-01-01 to 1970-01-01

const char* const weekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// (day, 23:59) less `before` minutes.
std::string alarm_time(std::int64_t day, std::int64_t before) {
    const std::int64_t at = day * minutes_a_day + minutes_a_day - 1 - before;
    const std::int64_t d = at >= 0 ? at / minutes_a_day : (at - minutes_a_day + 1) / minutes_a_day;
    return iso_date(d) + " " + clock_time(at - d * minutes_a_day);
}

std::string how_often(unsigned kind, unsigned interval) {
    static const char* const once[] = {"daily", "weekly", "monthly", "monthly", "yearly", "workdays"};
    static const char* const unit[] = {"days", "weeks", "months", "months", "years", "workdays"};
    return interval <= 1 ? once[kind] : "every " + std::to_string(interval) + " " + unit[kind];
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& p : parts)
        out += (out.empty() ? "" : ",") + p;
    return out;
}

std::string weekday_list(unsigned bits) {
    std::vector<std::string> days;
    for (unsigned d = 0; d < 7; ++d)
        if (bits >> d & 1)
            days.push_back(weekdays[d]);
    return joined(days);
}

// The words of a repeat rule: how often, on which days, until, except.
struct rule {
    unsigned kind = 0; // 0 daily, 1 weekly, 2 monthly by date, 3 monthly by weekday, 4 yearly, 5 workdays
    unsigned interval = 1;
    std::string days;
    std::int64_t until = -1;
    std::set<std::int64_t> except;

    std::string words() const {
        std::string out = how_often(kind, interval);
        if (!days.empty())
            out += " on " + days;
        if (until >= 0)
            out += " until " + iso_date(until);
        std::vector<std::string> skipped;
        for (std::int64_t d : except)
            skipped.push_back(iso_date(d));
        if (!skipped.empty())
            out += " except " + joined(skipped);
        return out;
    }
};

// ---- Series 3a, 3c and Siena

struct record {
    unsigned type;
    std::size_t frame, at, size; // the frame word's offset; the data part
};

std::vector<record> records_from(const bytes& file, std::size_t first) {
    std::vector<record> out;
    for (std::size_t at = first; at < file.size();) {
        const std::uint16_t frame = get16(file, at);
        const record r{static_cast<unsigned>(frame >> 12), at, at + 2, frame & 0x0FFFu};
        if (r.at + r.size > file.size())
            throw error("the record at offset " + std::to_string(at) + " runs past the end of the file");
        out.push_back(r);
        at = r.at + r.size;
    }
    return out;
}

// A record's fields, each checked against the record's end.
class reader {
public:
    reader(const bytes& file, const record& r) : file_(file), end_(r.at + r.size), at_(r.at) {}
    std::uint8_t byte_at(std::size_t offset) const { return file_[need(offset, 1)]; }
    std::uint16_t word_at(std::size_t offset) const { return get16(file_, need(offset, 2)); }
    std::uint32_t long_at(std::size_t offset) const { return get32(file_, need(offset, 4)); }
    // A qstr; `next` is set to the offset after it.
    std::string qstr_at(std::size_t offset, std::size_t& next) const {
        const std::size_t n = byte_at(offset);
        need(offset + 1, n);
        next = offset + 1 + n;
        return field_text(file_.data() + at_ + offset + 1, n);
    }
    std::size_t size() const { return end_ - at_; }
    const std::uint8_t* data(std::size_t offset) const { return file_.data() + at_ + offset; }

private:
    std::size_t need(std::size_t offset, std::size_t n) const {
        if (at_ + offset + n > end_)
            throw error("a record is too short for what it holds");
        return at_ + offset;
    }
    const bytes& file_;
    std::size_t end_, at_;
};

// The memo's text: a word $4000 + (10 + T), the run table's length R, 10 bytes, T bytes of text
// (paragraphs ended by 0), R bytes of runs. Empty when it does not read so.
std::string memo_text(const reader& r, std::size_t at, bool& readable) {
    readable = false;
    if (at + 2 > r.size())
        return {};
    const std::size_t length = r.word_at(at);
    if (at + 2 + length > r.size() || length < 14)
        return {};
    const std::size_t t = (r.word_at(at + 2) & 0x3FFFu), runs = r.word_at(at + 4);
    if (t < 10 || 4 + t + runs != length)
        return {};
    readable = true;
    return field_text(r.data(at + 2 + 14), t - 10);
}

// The parts after an entry's text: the alarm (bit 3 clear) and the memo (bit 4 clear).
void after_text(const reader& r, std::size_t at, unsigned attributes, std::int64_t alarm_day, row& out) {
    if (!(attributes & 8)) {
        const std::uint16_t before = r.word_at(at);
        at += std::min<std::size_t>(11, r.size() - at); // the word and a 9-byte sound field
        if (alarm_day >= 0)
            out[alarm] = alarm_time(alarm_day, before);
        else
            warn("a to-do's alarm without a day to count from is left out");
    }
    if (!(attributes & 16)) {
        bool readable = false;
        out[memo] = memo_text(r, at, readable);
        if (!readable) {
            out[memo] = "yes";
            warn("a memo that does not read as expected is shown as \"yes\"");
        }
    }
}

row entry_3a(const reader& r, unsigned kind, const std::map<unsigned, std::string>& lists) {
    row out;
    const std::uint16_t day = r.word_at(0);
    const unsigned attributes = r.byte_at(4);
    out[crossed_out] = attributes & 2 ? "" : "yes";
    if (day != no_day)
        out[start_date] = iso_date(day);
    std::size_t next = 0;
    static const char* const names[] = {"", "timed", "untimed", "anniversary", "to-do"};
    out[type] = names[kind];
    std::int64_t alarm_day = day;
    if (kind == 1) {
        const std::uint16_t start = r.word_at(2);
        if (start >= minutes_a_day)
            throw error("a timed entry starts at minute " + std::to_string(start));
        const std::int64_t end = std::int64_t{day} * minutes_a_day + start + r.word_at(6);
        out[start_time] = clock_time(start);
        out[end_date] = iso_date(end / minutes_a_day);
        out[end_time] = clock_time(end % minutes_a_day);
        out[text] = r.qstr_at(9, next);
    } else if (kind == 2) {
        out[text] = r.qstr_at(7, next);
    } else if (kind == 3) {
        const auto year = static_cast<std::int16_t>(r.word_at(6));
        if (year != 0)
            out[base_year] = std::to_string(year);
        out[text] = r.qstr_at(10, next);
    } else {
        const std::uint16_t due = r.word_at(6);
        const unsigned code = r.byte_at(8);
        out[priority] = std::to_string(1 + (r.byte_at(9) & 0x0F));
        if (due != no_day)
            out[due_date] = iso_date(due);
        const auto name = lists.find(code);
        if (name != lists.end())
            out[list] = name->second;
        out[text] = r.qstr_at(15, next);
        alarm_day = due != no_day ? due : day != no_day ? day : -1;
    }
    after_text(r, next, attributes, alarm_day, out);
    return out;
}

rule repeat_3a(const reader& r, std::size_t& entry_offset) {
    rule out;
    out.kind = r.byte_at(0) & 7u;
    if (out.kind > 4)
        throw error("a repeat record of unknown kind " + std::to_string(out.kind));
    out.interval = r.byte_at(1) + 1u;
    if (r.word_at(2) != no_day)
        out.until = r.word_at(2);
    std::size_t at = 5;
    if (out.kind == 1) {
        out.days = weekday_list(r.byte_at(5));
        at = 7;
    } else if (out.kind == 2) {
        const std::uint32_t dates = r.long_at(5);
        std::vector<std::string> days;
        for (unsigned d = 0; d < 31; ++d)
            if (dates >> d & 1)
                days.push_back(std::to_string(d + 1));
        out.days = days.empty() ? "" : "day " + joined(days);
        at = 9;
    } else if (out.kind == 3) {
        static const char* const weeks[] = {"1st", "2nd", "3rd", "4th", "last"};
        std::vector<std::string> days;
        for (unsigned w = 0; w < 5; ++w)
            for (unsigned d = 0; d < 7; ++d)
                if (r.byte_at(5 + w) >> d & 1)
                    days.push_back(std::string(weeks[w]) + " " + weekdays[d]);
        out.days = joined(days);
        at = 10;
    }
    entry_offset = r.long_at(at);
    for (at += 4; at + 2 <= r.size(); at += 2) {
        const std::int64_t d = r.word_at(at);
        if (d >= first_legal_day && d <= last_legal_day)
            out.except.insert(d);
    }
    return out;
}

std::vector<row> agenda_3a(const bytes& file) {
    if (get16(file, 16) != 0x100F)
        warn("unexpected version " + std::to_string(get16(file, 16)) + " (read as 0x100F)");
    const std::size_t first = get16(file, 18);
    if (first < 32 || first > file.size())
        throw error("not an agenda file (header size " + std::to_string(first) + ")");
    const auto records = records_from(file, first);
    std::map<unsigned, std::string> lists;
    for (const record& rec : records)
        if (rec.type == 9) {
            const reader r(file, rec);
            const std::size_t end = std::min<std::size_t>(r.size(), 18);
            const auto* name = r.data(2);
            lists[r.byte_at(1)] =
                field_text(name, static_cast<std::size_t>(std::find(name, name + (end > 2 ? end - 2 : 0), 0) - name));
        }
    std::vector<row> rows;
    std::map<std::size_t, std::size_t> row_of; // an entry's frame offset -> its row
    for (const record& rec : records)
        if (rec.type >= 1 && rec.type <= 4) {
            row_of[rec.frame] = rows.size();
            rows.push_back(entry_3a(reader(file, rec), rec.type, lists));
        }
    for (const record& rec : records)
        if (rec.type == 5) {
            std::size_t entry = 0;
            const rule rl = repeat_3a(reader(file, rec), entry);
            const auto it = row_of.find(entry);
            if (it == row_of.end())
                warn("a repeat record points to no entry (offset " + std::to_string(entry) + ")");
            else
                rows[it->second][repeat] = rl.words();
        }
    return rows;
}

// ---- the original Series 3: a Data file of four words and a qstr

rule repeat_s3(const bytes& file, std::size_t at, std::int64_t& first_day) {
    rule out;
    static const unsigned kinds[] = {4, 2, 3,
                                     1, 0, 5}; // its order: yearly, by date, by weekday, weekly, daily, workdays
    const unsigned kind = file[at];
    if (kind > 5)
        throw error("a repeat of unknown kind " + std::to_string(kind));
    out.kind = kinds[kind];
    out.interval = file[at + 1];
    first_day = std::int64_t{get16(file, at + 2)} - series3_day_shift;
    if (get16(file, at + 4) != 0)
        out.until = std::int64_t{get16(file, at + 4)} - series3_day_shift;
    const std::string date = iso_date(first_day);
    const int dom = std::stoi(date.substr(8));
    const auto weekday = static_cast<unsigned>(((first_day % 7) + 7 + 3) % 7); // 1970-01-01 was a Thursday
    if (out.kind == 1)
        out.days = weekdays[weekday];
    else if (out.kind == 2)
        out.days = "day " + std::to_string(dom);
    else if (out.kind == 3) {
        static const char* const weeks[] = {"1st", "2nd", "3rd", "4th", "last"};
        out.days = std::string(weeks[dom >= 29 ? 4 : (dom - 1) / 7]) + " " + weekdays[weekday];
    }
    return out;
}

std::vector<row> agenda_s3(const bytes& file) {
    const std::size_t first = get16(file, 18);
    if (first < dbf_header_size || first > file.size())
        throw error("not a Data file (header size " + std::to_string(first) + ")");
    const auto records = records_from(file, first);
    const auto fields =
        std::find_if(records.begin(), records.end(), [](const record& r) { return r.type == dbf_fields; });
    if (fields == records.end() || fields->size != 5 || std::memcmp(file.data() + fields->at, "\0\0\0\0\x03", 5) != 0)
        throw error("a Data file, but not an agenda");
    std::vector<row> rows;
    for (const record& rec : records) {
        if (rec.type != dbf_data)
            continue;
        const reader r(file, rec);
        row out;
        const std::uint16_t day = r.word_at(0), second = r.word_at(2), third = r.word_at(4), before = r.word_at(6);
        std::size_t next = 0;
        out[text] = r.qstr_at(8, next);
        std::int64_t d = std::int64_t{day} - series3_day_shift;
        if (day == 0xFFFE) {
            // The notes give the repeat as 6 bytes "following" the text: after the qstr where the
            // record holds them, else the qstr's own last 6 bytes (the qstr is the last declared field).
            std::size_t block = next;
            if (next + 6 > r.size()) {
                const std::size_t length = r.byte_at(8);
                if (length < 6)
                    throw error("a repeating entry without its repeat");
                block = 9 + length - 6;
                out[text] = field_text(r.data(9), length - 6);
            }
            out[repeat] = repeat_s3(file, rec.at + block, d).words();
        }
        if (day == no_day) {
            out[type] = "to-do";
            out[priority] = std::to_string(third);
            rows.push_back(out);
            continue;
        }
        out[start_date] = iso_date(d);
        if (third < 0x8000) {
            if (third >= minutes_a_day)
                throw error("a timed entry starts at minute " + std::to_string(third));
            const std::int64_t end = d * minutes_a_day + third + second / 2;
            out[type] = "timed";
            out[start_time] = clock_time(third);
            out[end_date] = iso_date(end / minutes_a_day);
            out[end_time] = clock_time(end % minutes_a_day);
        } else {
            out[type] = "untimed";
        }
        if (before != 0xFFFF)
            out[alarm] = alarm_time(d, before);
        rows.push_back(out);
    }
    return rows;
}

bool agenda_3a_file(const bytes& file) {
    return file.size() >= 32 && std::memcmp(file.data(), "AgendaFileType*", 16) == 0;
}
bool data_file(const bytes& file) {
    return file.size() >= dbf_header_size && std::memcmp(file.data(), dbf_signature, sizeof dbf_signature) == 0;
}

void check_signature(const bytes& head) {
    if (!agenda_3a_file(head) && !data_file(head))
        throw error("not an agenda file (bad signature)");
}

void convert(const bytes& file) {
    std::vector<row> rows;
    check_signature(file);
    if (agenda_3a_file(file))
        rows = agenda_3a(file);
    else
        rows = agenda_s3(file);
    std::string out;
    append_row(out, std::vector<std::string>(std::begin(columns), std::end(columns)));
    for (const row& r : rows) {
        append_row(out, r);
        flush_when_large(out);
    }
    write_stdout(out);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: agn2tsv FILE.agn\n"
                        "Writes the organiser agenda as tab-separated text on standard output: a header\n"
                        "row, then one row an entry (dates, times, alarm, repeat rule, memo, to-do details).\n";
    return convert_file_arg("agn2tsv", usage, argc, argv, argc == 2,
                            [](const std::string& input) { convert(read_organiser_file(input, check_signature)); });
}
