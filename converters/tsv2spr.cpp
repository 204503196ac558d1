// tsv2spr: tab-separated text on standard input to an organiser sheet on standard output, opening
// at A1: a field that is a number (JSON's grammar) becomes a number, any other a left-aligned text.

#include "cp850.h"
#include "fields.h"
#include "kconv.h"
#include "spr.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace kconv;

namespace {

void put_record(bytes& out, std::uint16_t type, const bytes& data) {
    put16(out, type);
    put16(out, static_cast<std::uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)? whose nearest double is finite: `007`, `+5`,
// `.5`, `1,5` and `1e999` stay text.
bool as_number(const std::string& s, double& value) {
    std::size_t i = s[0] == '-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9')
            ++i;
        return i - from;
    };
    const std::size_t integer_start = i;
    const std::size_t integer = digits();
    if (integer == 0 || (integer > 1 && s[integer_start] == '0'))
        return false;
    if (i < s.size() && s[i] == '.' && (++i, digits() == 0))
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != s.size())
        return false;
    value = std::strtod(s.c_str(), nullptr);
    return std::isfinite(value);
}

bool valid_utf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t from = at;
        const char32_t c = next_code_point(text, at);
        if (c == 0xFFFD && text.compare(from, 3, "\xEF\xBF\xBD") != 0)
            return false;
    }
    return true;
}

struct counts {
    cp850_counts replaced;
    std::size_t cut = 0, dropped = 0;
};

bytes cell(std::size_t row, std::size_t column, const std::string& field, counts& n) {
    bytes data;
    put16(data, static_cast<std::uint16_t>(column));
    put16(data, static_cast<std::uint16_t>(row));
    double value = 0;
    if (as_number(field, value)) {
        data.push_back(0x01); // a real constant
        data.push_back(0x7F); // the sheet's default format
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        put32(data, static_cast<std::uint32_t>(bits));
        put32(data, static_cast<std::uint32_t>(bits >> 32));
        return data;
    }
    std::string text = cp850_from_utf8(field, n.replaced);
    if (text.size() > 255) {
        text.resize(255);
        ++n.cut;
    }
    data.push_back(0x0A); // a text constant, left-aligned
    data.push_back(0x7F);
    data.push_back(static_cast<std::uint8_t>(text.size()));
    data.insert(data.end(), text.begin(), text.end());
    return data;
}

// Streams: a text longer than a cell holds is read only as far as it can matter, and nothing beyond
// the sheet's last row and column is kept.
void convert() {
    tsv_reader in(spr_max_cells, 255 * 4); // 255 characters are at most 4 UTF-8 bytes each
    spooled_output spool;
    bytes out(spr_signature, spr_signature + sizeof spr_signature);
    out.resize(spr_header_size, 0);
    put_record(out, spr_status, {0x01, 0x00, 0x71, 0x08}); // recalculate automatically, general, left
    bytes display(8, 0xFF);                                // no titles
    display.resize(8 + 4 + 8 + 4, 0);                      // A1 at the top left, selected, the cursor
    display.push_back(1);                                  // grid lines
    display.push_back(0);                                  // zeros shown
    put_record(out, spr_display, display);
    counts n;
    std::vector<std::string> fields;
    for (std::size_t row = 0; in.next(fields); ++row) {
        for (std::size_t column = 0; column < fields.size(); ++column) {
            const std::string& field = fields[column];
            if (!valid_utf8(field))
                throw error("the table is not UTF-8 text");
            if (field.empty())
                continue;
            if (row >= spr_max_cells)
                ++n.dropped;
            else
                put_record(out, spr_cell, cell(row, column, field, n));
        }
        if (out.size() > (1u << 16)) {
            spool.write(out);
            out.clear();
        }
    }
    n.dropped += in.dropped;
    if (n.dropped)
        warn(std::to_string(n.dropped) + " field(s) beyond row or column 8192 were left out");
    if (n.cut)
        warn(std::to_string(n.cut) + " text(s) longer than 255 bytes were cut");
    if (const std::size_t replaced = n.replaced.lacking + n.replaced.controls)
        warn(std::to_string(replaced) + " character(s) the organiser cannot show became '?'");
    spool.write(out);
    spool.finish();
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: tsv2spr < FILE.tsv > FILE.spr\n"
                        "Reads tab-separated text on standard input and writes an organiser sheet on\n"
                        "standard output: numbers as numbers, anything else as left-aligned text.\n";
    if (const int done = standard_call("tsv2spr", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return run("tsv2spr", "", convert);
}
