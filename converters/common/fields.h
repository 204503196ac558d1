#pragma once
// What the table converters write into a field: organiser text as one line of UTF-8, numbers in
// their shortest exact form, days as calendar dates.

#include "kconv.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kconv {

// Code page 850 text as UTF-8; CR LF and every other byte below 32 become one blank, so a field
// never breaks a row. `dropped`: a control byte that is left out instead (Data's dial marker).
std::string field_text(const std::uint8_t* data, std::size_t size, int dropped = -1);
// Code page 850 text as UTF-8 that keeps its lines: CR LF, LF, CR and the byte `line_break` become
// a line feed, a tab stays, every other byte below 32 becomes a blank; `dropped` is left out.
std::string organiser_text(const std::uint8_t* data, std::size_t size, int line_break = -1, int dropped = -1);
// Text on one line, for a table's field: line breaks and tabs become blanks.
std::string one_line(std::string text);
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

// Bytes kept in memory up to `memory` bytes, the rest in a temporary file: a field, a record or a
// whole output of any length in flat memory.
class spill_buffer {
public:
    explicit spill_buffer(std::size_t memory = 1 << 20) : memory_limit_(memory) {}
    ~spill_buffer();
    spill_buffer(const spill_buffer&) = delete;
    spill_buffer& operator=(const spill_buffer&) = delete;
    void append(const char* data, std::size_t size);
    void append(char c) {
        if (!file_ && held_.size() < memory_limit_)
            held_ += c;
        else
            append(&c, 1);
    }
    bool empty() const { return held_.empty() && !file_; }
    // Hands the bytes over in order, a block at a time, and empties the buffer.
    void drain(const std::function<void(const char*, std::size_t)>& block);

private:
    std::size_t memory_limit_;
    std::string held_;
    std::FILE* file_ = nullptr;
};

// A converter's output kept aside until it is complete, then written to standard output: a failure
// on the way prints nothing, and memory stays flat.
class spooled_output {
public:
    void write(const bytes& data) { spill_.append(reinterpret_cast<const char*>(data.data()), data.size()); }
    void finish(); // to standard output

private:
    spill_buffer spill_;
};

// Writes out what `out` holds once it is large, so that a long table streams in flat memory.
void flush_when_large(std::string& out);

} // namespace kconv
