#include "data_file.h"

#include "dbf.h"
#include "fields.h"
#include "framing.h"

#include <algorithm>
#include <cstring>

namespace kconv {

namespace {

constexpr std::uint8_t phone_mark = 5;  // a diallable number follows; before a label: a phone field
constexpr std::uint8_t continues = 20;  // first byte of a piece that joins the field before it
constexpr std::uint8_t line_break = 21; // Shift+Enter inside a field

std::string text(const std::uint8_t* data, std::size_t size) {
    return organiser_text(data, size, line_break, phone_mark);
}

// The Data application pads its labels with blanks and a colon to align its screen.
data_label label_of(const std::uint8_t* data, std::size_t size) {
    data_label label;
    label.phone = std::find(data, data + size, phone_mark) != data + size;
    std::string t = one_line(text(data, size));
    const auto trim = [](std::string& s) {
        s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        s.erase(std::min(s.find_last_not_of(' ') + 1, s.size()));
    };
    trim(t);
    if (!t.empty() && t.back() == ':')
        t.pop_back();
    trim(t);
    label.text = t;
    return label;
}

std::vector<data_label> labels(const bytes& file, const framed_record& r) {
    std::vector<data_label> out;
    for (std::size_t at = r.at; at + 2 <= r.at + r.size;) {
        const std::uint16_t frame = get16(file, at);
        const std::size_t end = at + 2 + (frame & 0x0FFFu);
        if (end > r.at + r.size)
            throw error("a part of the descriptive record runs past its end");
        for (std::size_t q = at + 2; (frame >> 12u) == dbf_labels && q < end; q += 1 + file[q]) {
            if (q + 1 + file[q] > end)
                throw error("a field label runs past its record");
            out.push_back(label_of(file.data() + q + 1, file[q]));
        }
        at = end;
    }
    return out;
}

// One record's logical fields: a piece that begins with byte 20 joins the field before it; fields
// past the declared ones are strings.
std::vector<std::string> fields_of(const bytes& file, const framed_record& r, const bytes& types) {
    std::vector<std::string> fields;
    const std::size_t end = r.at + r.size;
    for (std::size_t at = r.at, i = 0; at < end; ++i) {
        const std::uint8_t type = i < types.size() ? types[i] : std::uint8_t{dbf_string};
        const std::size_t size = type == dbf_word ? 2 : type == dbf_long ? 4 : type == dbf_real ? 8 : 1u + file[at];
        if (at + size > end)
            throw error("a field runs past the end of its record");
        if (type == dbf_word)
            fields.push_back(std::to_string(static_cast<std::int16_t>(get16(file, at))));
        else if (type == dbf_long)
            fields.push_back(std::to_string(static_cast<std::int32_t>(get32(file, at))));
        else if (type == dbf_real)
            fields.push_back(shortest_number(get_real(file, at)));
        else if (file[at] > 0 && file[at + 1] == continues && !fields.empty())
            fields.back() += text(file.data() + at + 2, file[at] - 1u);
        else
            fields.push_back(text(file.data() + at + 1, file[at]));
        at += size;
    }
    return fields;
}

bytes field_types(const bytes& file, const framed_record& r) {
    const bytes types(file.begin() + static_cast<std::ptrdiff_t>(r.at),
                      file.begin() + static_cast<std::ptrdiff_t>(r.at + r.size));
    if (types.size() > dbf_max_fields)
        throw error(std::to_string(types.size()) + " fields declared (a Data file holds 32)");
    for (std::uint8_t type : types)
        if (type > dbf_string)
            throw error("unknown field type " + std::to_string(type));
    return types;
}

} // namespace

data_file read_data_file(const bytes& file) {
    if (file.size() < dbf_header_size || std::memcmp(file.data(), dbf_signature, sizeof dbf_signature) != 0)
        throw error("not a Data file (bad signature)");
    const std::size_t first = get16(file, 18);
    if (first < dbf_header_size || first > file.size())
        throw error("not a Data file (header size " + std::to_string(first) + ")");
    data_file d;
    bytes types;
    bool undocumented = false;
    std::size_t wider = 0;
    for (const framed_record& r : framed_records(file, first)) {
        if (r.type == dbf_fields && types.empty()) {
            types = field_types(file, r);
        } else if (r.type == dbf_descriptive) {
            d.labels = labels(file, r);
        } else if (r.type == dbf_data || (r.type >= 8 && r.type <= 13)) {
            if (types.empty())
                throw error("a data record comes before the field information");
            if (r.type != dbf_data && !undocumented) {
                warn("record type " + std::to_string(r.type) + " read as a data record (undocumented)");
                undocumented = true;
            }
            d.records.push_back(fields_of(file, r, types));
            wider += d.records.back().size() > types.size() && types.size() < dbf_max_fields;
        }
    }
    if (types.empty())
        throw error("no field information record");
    d.declared = types.size();
    if (wider > 0)
        warn(std::to_string(wider) + " record(s) hold more fields than the " + std::to_string(types.size()) +
             " the file declares (as the Data application writes them): the extra ones are kept");
    return d;
}

} // namespace kconv
