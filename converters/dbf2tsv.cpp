// dbf2tsv FILE.dbf: the organiser's Data file to tab-separated text on standard output: a row of
// field names (the Data application's labels, else Field1, Field2, ...), then one row a record.

#include "cp850.h"
#include "dbf.h"
#include "fields.h"
#include "kconv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace kconv;

namespace {

struct record {
    unsigned type;
    std::size_t at, size; // the data part
};

// Every record's frame, checked against the file's size.
std::vector<record> records(const bytes& file) {
    if (file.size() < dbf_header_size || std::memcmp(file.data(), dbf_signature, sizeof dbf_signature) != 0)
        throw error("not a Data file (bad signature)");
    const std::size_t first = get16(file, 18);
    if (first < dbf_header_size || first > file.size())
        throw error("not a Data file (header size " + std::to_string(first) + ")");
    std::vector<record> out;
    for (std::size_t at = first; at < file.size();) {
        const std::uint16_t frame = get16(file, at);
        const record r{static_cast<unsigned>(frame >> 12), at + 2, frame & 0x0FFFu};
        if (r.at + r.size > file.size())
            throw error("the record at offset " + std::to_string(at) + " runs past the end of the file");
        out.push_back(r);
        at = r.at + r.size;
    }
    return out;
}

// A text field; the byte 5 (a diallable number follows) is a marker, not text.
std::string text(const bytes& file, std::size_t at, std::size_t size) {
    return field_text(file.data() + at, size, 5);
}

// The Data application pads its labels with blanks and a colon to align its screen.
std::string clean_label(std::string label) {
    const auto trim = [](std::string& t) {
        t.erase(0, std::min(t.find_first_not_of(' '), t.size()));
        t.erase(std::min(t.find_last_not_of(' ') + 1, t.size()));
    };
    trim(label);
    if (!label.empty() && label.back() == ':')
        label.pop_back();
    trim(label);
    return label;
}

std::vector<std::string> labels(const bytes& file, const record& r) {
    std::vector<std::string> out;
    for (std::size_t at = r.at; at + 2 <= r.at + r.size;) {
        const std::uint16_t frame = get16(file, at);
        const std::size_t end = at + 2 + (frame & 0x0FFFu);
        if (end > r.at + r.size)
            throw error("a part of the descriptive record runs past its end");
        for (std::size_t q = at + 2; (frame >> 12u) == dbf_labels && q < end; q += 1 + file[q]) {
            if (q + 1 + file[q] > end)
                throw error("a field label runs past its record");
            out.push_back(clean_label(text(file, q + 1, file[q])));
        }
        at = end;
    }
    return out;
}

// One record's logical fields: a piece that begins with byte 20 joins the field before it.
std::vector<std::string> row(const bytes& file, const record& r, const bytes& types) {
    std::vector<std::string> fields;
    const std::size_t end = r.at + r.size;
    std::size_t at = r.at;
    for (std::size_t i = 0; at < end; ++i) {
        // With 32 fields declared, any further ones are strings.
        const std::uint8_t type = i < types.size() ? types[i] : std::uint8_t{dbf_string};
        if (i >= types.size() && types.size() < dbf_max_fields)
            throw error("a record holds more fields than declared");
        const std::size_t size = type == dbf_word ? 2 : type == dbf_long ? 4 : type == dbf_real ? 8 : 1u + file[at];
        if (at + size > end)
            throw error("a field runs past the end of its record");
        if (type == dbf_word)
            fields.push_back(std::to_string(static_cast<std::int16_t>(get16(file, at))));
        else if (type == dbf_long)
            fields.push_back(std::to_string(static_cast<std::int32_t>(get32(file, at))));
        else if (type == dbf_real)
            fields.push_back(shortest_number(get_real(file, at)));
        else if (file[at] > 0 && file[at + 1] == 20 && !fields.empty())
            fields.back() += text(file, at + 2, file[at] - 1u);
        else
            fields.push_back(text(file, at + 1, file[at]));
        at += size;
    }
    return fields;
}

void put_row(std::string& out, std::vector<std::string> fields, std::size_t columns) {
    fields.resize(columns);
    append_row(out, fields);
}

struct table {
    bytes types;
    std::vector<std::string> names;
    std::vector<record> rows;
    std::size_t columns = 0;
};

// The whole file is read and checked before the first byte is written: a broken file prints nothing.
table read_table(const bytes& file) {
    table t;
    bool warned = false;
    for (const record& r : records(file)) {
        if (r.type == dbf_fields && t.types.empty()) {
            t.types.assign(file.begin() + static_cast<std::ptrdiff_t>(r.at),
                           file.begin() + static_cast<std::ptrdiff_t>(r.at + r.size));
            if (t.types.size() > dbf_max_fields)
                throw error(std::to_string(t.types.size()) + " fields declared (a Data file holds 32)");
            for (std::uint8_t type : t.types)
                if (type > dbf_string)
                    throw error("unknown field type " + std::to_string(type));
        } else if (r.type == dbf_descriptive) {
            t.names = labels(file, r);
        } else if (r.type == dbf_data || (r.type >= 8 && r.type <= 13)) {
            if (t.types.empty())
                throw error("a data record comes before the field information");
            if (r.type != dbf_data && !warned) {
                warn("record type " + std::to_string(r.type) + " read as a data record (undocumented)");
                warned = true;
            }
            const auto fields = row(file, r, t.types);
            for (std::size_t i = fields.size(); i > t.columns; --i)
                if (!fields[i - 1].empty())
                    t.columns = i;
            t.rows.push_back(r);
        }
    }
    if (t.types.empty())
        throw error("no field information record");
    // Without labels every declared field is a column; with them, trailing fields that are neither
    // labelled nor used are left out.
    for (std::size_t i = t.names.size(); i > t.columns; --i)
        if (!t.names[i - 1].empty())
            t.columns = i;
    if (t.names.empty())
        t.columns = std::max(t.columns, t.types.size());
    t.names.resize(t.columns);
    for (std::size_t i = 0; i < t.columns; ++i)
        if (t.names[i].empty())
            t.names[i] = "Field" + std::to_string(i + 1);
    return t;
}

void convert(const bytes& file) {
    const table t = read_table(file);
    std::string out;
    put_row(out, t.names, t.columns);
    for (const record& r : t.rows) {
        put_row(out, row(file, r, t.types), t.columns);
        flush_when_large(out);
    }
    write_stdout(out);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: dbf2tsv FILE.dbf\n"
                        "Writes the organiser Data file as tab-separated text on standard output: a row\n"
                        "of field names, then one row a record.\n";
    return convert_file_arg("dbf2tsv", usage, argc, argv, argc == 2, [](const std::string& input) {
        convert(read_organiser_file(input, signature({dbf_signature, sizeof dbf_signature}, "a Data file")));
    });
}
