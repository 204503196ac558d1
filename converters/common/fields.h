#pragma once
// What the table converters write into a field: organiser text as one line of UTF-8, numbers in
// their shortest exact form, days as calendar dates.

#include "kconv.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kconv {

// Code page 850 text as UTF-8; CR LF and every other byte below 32 become one blank, so a field
// never breaks a row. `dropped`: a control byte that is left out instead (Data's dial marker).
std::string field_text(const std::uint8_t* data, std::size_t size, int dropped = -1);
// The shortest digits that read back as the same double, in plain decimals for 1e-6 <= |x| < 1e21
// (`42`, `0.1`, `-0`, `100000`, `0.000001`) and in the exponent form beyond (`1e+21`, `1e-7`).
std::string shortest_number(double value);
// YYYY-MM-DD of a day counted from 1970-01-01 (Gregorian calendar, also before 1970).
std::string iso_date(std::int64_t day);
// HH:MM of minutes past midnight.
std::string clock_time(std::int64_t minutes);
// A little-endian IEEE double.
double get_real(const bytes& data, std::size_t at);

// Fields joined by tabs, the row ended by a line feed.
template <typename Fields> void append_row(std::string& out, const Fields& fields) {
    bool first = true;
    for (const std::string& field : fields) {
        out += first ? "" : "\t";
        out += field;
        first = false;
    }
    out += '\n';
}
// Tab-separated text as rows of fields: lines end with LF (a CR before it is dropped), and a last
// line without one counts.
std::vector<std::vector<std::string>> tsv_rows(const std::string& text);

// Writes out what `out` holds once it is large, so that a long table streams in flat memory.
void flush_when_large(std::string& out);

} // namespace kconv
