// dbf2tsv FILE.dbf: the organiser's Data file to tab-separated text on standard output: a row of
// field names (the Data application's labels, else Field1, Field2, ...), then one row a record.

#include "cp850.h"
#include "dbf.h"
#include "kconv.h"

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

// A text field: code page 850; the Data application's control bytes become blanks or go.
std::string text(const bytes& file, std::size_t at, std::size_t size) {
    std::string out;
    for (std::size_t i = at; i < at + size; ++i) {
        const std::uint8_t b = file[i];
        if (b == 5) // a diallable number follows: a marker, not text
            continue;
        out += b < 32 ? std::string(" ") : cp850_to_utf8(b);
    }
    return out;
}

// The shortest decimal that reads back as the same double.
std::string real_text(double value) {
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    return buffer;
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
            out.push_back(text(file, q + 1, file[q]));
        }
        at = end;
    }
    return out;
}

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
        else if (type == dbf_real) {
            const std::uint64_t bits = get32(file, at) | std::uint64_t{get32(file, at + 4)} << 32;
            double value;
            std::memcpy(&value, &bits, sizeof value);
            fields.push_back(real_text(value));
        } else if (file[at] > 0 && file[at + 1] == 20 && !fields.empty()) {
            fields.back() += text(file, at + 2, file[at] - 1u); // the previous field goes on
            fields.emplace_back();
        } else {
            fields.push_back(text(file, at + 1, file[at]));
        }
        at += size;
    }
    fields.resize(std::max(fields.size(), types.size()));
    return fields;
}

void put_row(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i ? "\t" : "") + fields[i];
    out += '\n';
}

std::string convert(const bytes& file) {
    bytes types;
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;
    bool warned = false;
    for (const record& r : records(file)) {
        if (r.type == dbf_fields && types.empty()) {
            types.assign(file.begin() + static_cast<std::ptrdiff_t>(r.at),
                         file.begin() + static_cast<std::ptrdiff_t>(r.at + r.size));
            for (std::uint8_t t : types)
                if (t > dbf_string)
                    throw error("unknown field type " + std::to_string(t));
        } else if (r.type == dbf_descriptive) {
            names = labels(file, r);
        } else if (r.type == dbf_data || (r.type >= 8 && r.type <= 13)) {
            if (types.empty())
                throw error("a data record comes before the field information");
            if (r.type != dbf_data && !warned) {
                warn("record type " + std::to_string(r.type) + " read as a data record (undocumented)");
                warned = true;
            }
            rows.push_back(row(file, r, types));
        }
    }
    if (types.empty())
        throw error("no field information record");
    std::size_t columns = types.size();
    for (const auto& r : rows)
        columns = std::max(columns, r.size());
    names.resize(std::max(names.size(), columns));
    names.resize(columns);
    for (std::size_t i = 0; i < columns; ++i)
        if (names[i].empty())
            names[i] = "Field" + std::to_string(i + 1);
    std::string out;
    put_row(out, names);
    for (auto& r : rows) {
        r.resize(columns);
        put_row(out, r);
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const std::string input = argc > 1 ? argv[argc - 1] : "";
    return run("dbf2tsv", input, [&] {
        if (argc < 2)
            throw error("usage: dbf2tsv FILE.dbf");
        write_stdout(convert(read_file(input)));
    });
}
