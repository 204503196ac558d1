// spr2tsv FILE.spr: the organiser's sheet to tab-separated text on standard output: the rectangle
// from A1 to the last used row and column, no header row; formulas give their stored result, dates
// are written as dates, a formula's error as ERR.

#include "fields.h"
#include "kconv.h"
#include "spr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

using namespace kconv;

namespace {

struct cell {
    std::size_t row, column;
    std::string field;
};

struct sheet {
    std::vector<cell> cells; // sorted by row and column once read; a later record of a cell wins
    std::size_t rows = 0, columns = 0;
};

std::string number(double value, std::uint8_t format) {
    if (!std::isfinite(value))
        return "ERR";
    // Day 0 is 1899-12-30; a serial beyond 9999-12-31 is no date, and shows as the number it is.
    if (format == spr_date_format && value >= 0 && value < 2958466)
        return iso_date(static_cast<std::int64_t>(std::floor(value)) - 25569);
    return shortest_number(value);
}

// One cell record: its value as a field, or nothing for a blank or an undescribed cell.
void read_cell(const bytes& file, std::size_t at, std::size_t size, sheet& s, bool& stale, bool& odd) {
    if (size < 6)
        throw error("a cell record is too short");
    const std::size_t column = get16(file, at), row = get16(file, at + 2);
    if (column >= spr_max_cells || row >= spr_max_cells)
        throw error("a cell lies outside the sheet (" + std::to_string(column) + ", " + std::to_string(row) + ")");
    const std::uint8_t flags = file[at + 4], format = file[at + 5];
    const unsigned contents = flags & 7u;
    const bool formula = contents == spr_real_formula || contents == spr_text_formula;
    const std::size_t value = at + 6 + (formula ? 2 : 0);
    std::size_t needed = 0;
    std::string field;
    switch (contents) {
    case spr_blank:
        return;
    case spr_real:
    case spr_real_formula:
        needed = value + 8;
        if (needed <= at + size)
            field = number(get_real(file, value), format);
        break;
    case spr_integer:
        needed = value + 2;
        if (needed <= at + size)
            field = number(static_cast<std::int16_t>(get16(file, value)), format);
        break;
    case spr_text:
    case spr_text_formula:
        needed = value + 1 + (value < at + size ? file[value] : 0);
        if (needed <= at + size)
            field = field_text(file.data() + value + 1, file[value]);
        break;
    default:
        odd = true;
        return;
    }
    if (needed > at + size)
        throw error("a cell's value runs past its record");
    stale = stale || (formula && (flags & 0x40));
    s.cells.push_back({row, column, field});
    s.rows = std::max(s.rows, row + 1);
    s.columns = std::max(s.columns, column + 1);
}

sheet read_sheet(const bytes& file) {
    if (file.size() < spr_header_size || std::memcmp(file.data(), spr_signature, sizeof spr_signature) != 0)
        throw error("not a sheet file (bad signature)");
    if (get16(file, 16) || get16(file, 18) || get16(file, 20))
        warn("unexpected header words (read as a sheet all the same)");
    sheet s;
    bool stale = false, odd = false;
    std::map<unsigned, bool> unknown;
    for (std::size_t at = spr_header_size; at < file.size();) {
        const unsigned type = get16(file, at);
        const std::size_t size = get16(file, at + 2);
        if (at + 4 + size > file.size())
            throw error("the record at offset " + std::to_string(at) + " runs past the end of the file");
        if (type == spr_cell)
            read_cell(file, at + 4, size, s, stale, odd);
        else if (type == 0 || type > 21)
            unknown[type] = true;
        at += 4 + size;
    }
    for (const auto& u : unknown)
        warn("record type " + std::to_string(u.first) + " is not described (skipped)");
    if (odd)
        warn("cells of an undescribed contents type are left empty");
    if (stale)
        warn("the sheet was changed since it was last recalculated: values may be out of date");
    std::stable_sort(s.cells.begin(), s.cells.end(), [](const cell& a, const cell& b) {
        return std::tie(a.row, a.column) < std::tie(b.row, b.column);
    });
    return s;
}

void convert(const bytes& file) {
    const sheet s = read_sheet(file);
    std::string out;
    auto next = s.cells.begin();
    for (std::size_t row = 0; row < s.rows; ++row) {
        for (std::size_t column = 0; column < s.columns; ++column) {
            if (column)
                out += '\t';
            const cell* found = nullptr;
            while (next != s.cells.end() && next->row == row && next->column == column)
                found = &*next++;
            if (found)
                out += found->field;
        }
        out += '\n';
        flush_when_large(out);
    }
    write_stdout(out);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: spr2tsv FILE.spr\n"
                        "Writes the organiser sheet as tab-separated text on standard output: from A1 to\n"
                        "the last used cell; formulas as their stored result, dates as YYYY-MM-DD.\n";
    return convert_file_arg("spr2tsv", usage, argc, argv, argc == 2, [](const std::string& input) {
        convert(read_organiser_file(input, signature({spr_signature, sizeof spr_signature}, "a sheet file")));
    });
}
