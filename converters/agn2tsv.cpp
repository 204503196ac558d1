// agn2tsv FILE.agn: the organiser's agenda to tab-separated text on standard output: a header row,
// then one row an entry in file order, with its dates, times, alarm, repeat rule in words, memo and
// to-do details. Reads the Series 3a, 3c and Siena layout and the original Series 3's (a Data file).

#include "agenda.h"
#include "fields.h"
#include "kconv.h"

#include <array>

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

std::string date_and_time(std::int64_t minutes) {
    const std::int64_t day = minutes >= 0 ? minutes / minutes_a_day : (minutes - minutes_a_day + 1) / minutes_a_day;
    return iso_date(day) + " " + clock_time(minutes - day * minutes_a_day);
}

std::string memo_of(const agenda_entry& e) {
    if (e.memo_state == agenda_entry::unreadable)
        return "yes";
    std::string out;
    for (std::size_t i = 0; i < e.memo.size(); ++i)
        out += (i > 0 ? " " : "") + e.memo[i];
    return one_line(out);
}

row row_of(const agenda_entry& e) {
    static const char* const names[] = {"timed", "untimed", "anniversary", "to-do"};
    row out;
    out[type] = names[e.kind];
    if (e.day >= 0)
        out[start_date] = iso_date(e.day);
    if (e.kind == agenda_entry::timed) {
        const std::int64_t end = e.day * minutes_a_day + e.start + e.length;
        out[start_time] = clock_time(e.start);
        out[end_date] = iso_date(end / minutes_a_day);
        out[end_time] = clock_time(end % minutes_a_day);
    }
    out[text] = e.text;
    if (e.alarm)
        out[alarm] = date_and_time(*e.alarm);
    if (e.repeat)
        out[repeat] = e.repeat->words();
    out[crossed_out] = e.crossed_out ? "yes" : "";
    out[memo] = memo_of(e);
    if (e.kind == agenda_entry::todo) {
        out[priority] = std::to_string(e.priority);
        if (e.due >= 0)
            out[due_date] = iso_date(e.due);
        out[list] = e.list;
    }
    if (e.base_year != 0)
        out[base_year] = std::to_string(e.base_year);
    return out;
}

void convert(const bytes& file) {
    const auto entries = read_agenda(file);
    std::string out;
    append_row(out, std::vector<std::string>(std::begin(columns), std::end(columns)));
    for (const agenda_entry& e : entries) {
        append_row(out, row_of(e));
        flush_when_large(out);
    }
    write_stdout(out);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: agn2tsv FILE.agn\n"
                        "Writes the organiser agenda as tab-separated text on standard output: a header\n"
                        "row, then one row an entry (dates, times, alarm, repeat rule, memo, to-do details).\n";
    return convert_file_arg("agn2tsv", usage, argc, argv, argc == 2, [](const std::string& input) {
        convert(read_organiser_file(input, check_agenda_signature));
    });
}
