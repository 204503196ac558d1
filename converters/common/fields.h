#pragma once
// What the table converters write into a field: organiser text as one line of UTF-8, numbers in
// their shortest exact form, days as calendar dates.

#include "kconv.h"

#include <cstdint>
#include <cstdio>
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
// Tab-separated text from standard input, a row at a time, in flat memory whatever the input: lines
// end with LF (a CR before it is dropped; a last line without one counts; a UTF-8 mark before the
// first goes). A row keeps its first `widest` fields, a field its first `longest` bytes (never half a
// UTF-8 character); what is left out is counted.
class tsv_reader {
public:
    tsv_reader(std::size_t widest, std::size_t longest) : widest_(widest), longest_(longest) {}
    bool next(std::vector<std::string>& fields); // false once the input is over
    std::size_t shortened = 0;                   // fields cut to `longest`
    std::size_t dropped = 0;                     // fields with text beyond `widest`
    std::size_t widest_seen = 0;                 // the most fields a row had

private:
    bool more(); // reads the next block
    std::size_t widest_, longest_;
    std::string block_;
    std::size_t at_ = 0;
    bool started_ = false, ended_ = false;
};

// A converter's output kept aside (in a temporary file) until it is complete, then written to
// standard output: a failure on the way prints nothing, and memory stays flat.
class spooled_output {
public:
    spooled_output();
    ~spooled_output();
    spooled_output(const spooled_output&) = delete;
    spooled_output& operator=(const spooled_output&) = delete;
    void write(const bytes& data);
    void finish(); // to standard output

private:
    std::FILE* file_;
};

// Writes out what `out` holds once it is large, so that a long table streams in flat memory.
void flush_when_large(std::string& out);

} // namespace kconv
