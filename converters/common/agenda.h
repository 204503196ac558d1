#pragma once
// The organiser's agenda, read once for every writer: the Series 3a, 3c and Siena layout and the
// original Series 3's (a Data file). Entries in file order; deleted copies, descriptive and unknown
// records give none. Gaps in the public notes are said on standard error (warn) as they are met.

#include "kconv.h"

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kconv {

constexpr std::int64_t minutes_a_day = 1440;
constexpr std::int64_t first_organiser_day = 3652, last_organiser_day = 29219; // 1980-01-01, 2049-12-31

struct repeat_rule {
    enum kind_t { daily, weekly, monthly_by_date, monthly_by_weekday, yearly, workdays } kind = daily;
    unsigned interval = 1;
    unsigned weekdays = 0;               // weekly: bit 0 Monday ... bit 6 Sunday
    std::uint32_t month_days = 0;        // monthly by date: bit 0 the 1st ... bit 30 the 31st
    std::array<std::uint8_t, 5> weeks{}; // monthly by weekday: 1st, 2nd, 3rd, 4th, last week's weekdays
    int week_start = 0;                  // weekly: the first day of the week, 0 Monday ... 6 Sunday
    std::int64_t until = -1;             // the last day, or -1: for ever
    std::set<std::int64_t> except;       // suppressed days

    // One line of words: "every 2 weeks on Mon,Thu until 2024-12-30 except 2024-04-01".
    std::string words() const;
};

// The days on which the organiser shows a repeat that starts on `first`, from `from` to `to`
// (inclusive): months without its day take their last, 29 February falls on the 28th in common
// years, weeks count from the week of the first day, the suppressed days are left out.
std::vector<std::int64_t> occurrences(const repeat_rule& rule, std::int64_t first, std::int64_t from, std::int64_t to);

struct agenda_entry {
    enum kind_t { timed, untimed, anniversary, todo } kind = timed;
    std::int64_t day = -1;   // days from 1970-01-01; -1: none (an undated to-do)
    std::int64_t start = 0;  // timed: minutes past midnight
    std::int64_t length = 0; // timed: minutes
    std::string text;        // one line
    bool crossed_out = false;
    std::optional<std::int64_t> alarm; // minutes from 1970-01-01 00:00, the organiser's local time
    enum memo_t { none, readable, unreadable } memo_state = none;
    std::vector<std::string> memo; // its paragraphs, tabs kept
    int priority = 0;              // to-do: 1 (highest) to 9
    std::int64_t due = -1;         // to-do: its due day, -1 none
    std::string list;              // to-do: the name of its list
    int base_year = 0;             // anniversary: 0 none
    std::optional<repeat_rule> repeat;
};

// Raises error for a file the organiser could not have written (framing, sizes, a record too
// short for its kind).
std::vector<agenda_entry> read_agenda(const bytes& file);
// For read_organiser_file: either layout's signature.
void check_agenda_signature(const bytes& head);

} // namespace kconv
