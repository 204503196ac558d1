#include "builders.h"

#include "support.h"

namespace converter_tests {

bytes pic_file(int width, int height, const std::vector<std::vector<int>>& planes) {
    const int row = (width + 15) / 16 * 2;
    bytes out{'P', 'I', 'C', 0xDC, 0x30, 0x30};
    kconv::put16(out, static_cast<std::uint16_t>(planes.size()));
    bytes data;
    for (std::size_t i = 0; i < planes.size(); ++i) {
        bytes plane(static_cast<std::size_t>(row * height), 0);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (planes[i][static_cast<std::size_t>(y * width + x)])
                    plane[static_cast<std::size_t>(y * row + x / 8)] |= static_cast<std::uint8_t>(1 << (x % 8));
        kconv::put16(out, 0); // no checksum: the reader warns and converts
        kconv::put16(out, static_cast<std::uint16_t>(width));
        kconv::put16(out, static_cast<std::uint16_t>(height));
        kconv::put16(out, static_cast<std::uint16_t>(plane.size()));
        kconv::put32(out, static_cast<std::uint32_t>(12 * (planes.size() - i - 1) + data.size()));
        data.insert(data.end(), plane.begin(), plane.end());
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

bytes pic_of_entries(int entries, int height, int apart) {
    bytes out{'P', 'I', 'C', 0xDC, 0x30, 0x30};
    kconv::put16(out, static_cast<std::uint16_t>(entries));
    const std::size_t data_start = 8 + 12 * static_cast<std::size_t>(entries);
    for (int i = 0; i < entries; ++i) {
        for (unsigned v : {0u, 16u, static_cast<unsigned>(height), static_cast<unsigned>(2 * height)})
            kconv::put16(out, static_cast<std::uint16_t>(v));
        kconv::put32(out, static_cast<std::uint32_t>(data_start + static_cast<std::size_t>(i * apart) -
                                                     (8 + 12 * static_cast<std::size_t>(i) + 12)));
    }
    out.resize(data_start + static_cast<std::size_t>(2 * height + entries * apart), 0x55);
    return out;
}

std::string dbf_record(unsigned type, const std::string& data) {
    bytes frame;
    kconv::put16(frame, static_cast<std::uint16_t>(type << 12 | data.size()));
    return as_text(frame) + data;
}

std::string qstr(const std::string& s) {
    return std::string(1, static_cast<char>(s.size())) + s;
}

std::string dbf_file(const std::string& records) {
    return std::string("OPLDatabaseFile\0\x0F\x10\x16\x00\x0F\x10", 22) + records;
}

std::string wrd_record(unsigned type, const std::string& data) {
    bytes frame;
    kconv::put16(frame, static_cast<std::uint16_t>(type));
    kconv::put16(frame, static_cast<std::uint16_t>(data.size()));
    return as_text(frame) + data;
}

std::string wrd_file(const std::string& records, unsigned version) {
    bytes head(reinterpret_cast<const std::uint8_t*>("PSIONWPDATAFILE"),
               reinterpret_cast<const std::uint8_t*>("PSIONWPDATAFILE") + 16);
    kconv::put16(head, static_cast<std::uint16_t>(version));
    kconv::put16(head, version == 1 ? 0 : 1);
    head.resize(36, 0xEA);
    kconv::put16(head, version == 1 ? 0xEAEA : 0);
    head.resize(40, 0);
    return as_text(head) + records;
}

std::string wrd_format(unsigned type, const char* code, unsigned attributes, unsigned inherit, unsigned align,
                       std::initializer_list<std::pair<std::size_t, int>> words) {
    std::string r(80, '\0');
    r.replace(0, 2, code);
    r[22] = static_cast<char>(attributes);
    r[26] = static_cast<char>(inherit);
    r[34] = static_cast<char>(align);
    for (const auto& [at, value] : words) {
        r[at] = static_cast<char>(value & 0xFF);
        r[at + 1] = static_cast<char>(value >> 8 & 0xFF);
    }
    return wrd_record(type, type == 7 ? r.substr(0, 28) : r);
}

std::string wrd_run(unsigned length, const char* style, const char* emphasis) {
    bytes b;
    kconv::put16(b, static_cast<std::uint16_t>(length));
    return as_text(b) + style + emphasis;
}

std::string word(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF)};
}
std::string lng(std::uint32_t v) {
    return word(v & 0xFFFF) + word(v >> 16);
}

std::string agn_file(const std::vector<std::string>& records) {
    std::string out = std::string("AgendaFileType*\0", 16) + word(0x100F) + word(32) + std::string(12, '\0');
    for (const auto& r : records)
        out += r;
    return out;
}
std::size_t offset_of(const std::vector<std::string>& records, std::size_t i) {
    std::size_t at = 32;
    for (std::size_t k = 0; k < i; ++k)
        at += records[k].size();
    return at;
}
std::string timed(unsigned day, unsigned start, unsigned attr, unsigned length, const std::string& text,
                  const std::string& after) {
    return dbf_record(1, word(day) + word(start) + char(attr) + '\0' + word(length) + '\0' + qstr(text) + after);
}
std::string untimed(unsigned day, unsigned attr, const std::string& text) {
    return dbf_record(2, word(day) + word(0xFFFF) + char(attr) + '\0' + '\0' + qstr(text));
}
std::string todo(unsigned shown, unsigned attr, unsigned due, unsigned list, unsigned prio, const std::string& text,
                 const std::string& after) {
    return dbf_record(4, word(shown) + word(0) + char(attr) + '\0' + word(due) + char(list) + char(prio - 1) + lng(0) +
                             '\0' + qstr(text) + after);
}
std::string repeat_of(unsigned kind, unsigned every, unsigned last, const std::string& days, std::size_t entry,
                      const std::vector<unsigned>& except) {
    std::string r = std::string(1, char(kind)) + char(every - 1) + word(last) + '\1' + days + lng(std::uint32_t(entry));
    for (unsigned d : except)
        r += word(d);
    return dbf_record(5, r);
}
std::string alarm_part(unsigned before) {
    return word(before) + std::string("\x01\x01", 2) + std::string(7, '\0');
}
std::string memo_part(const std::string& text) {
    const std::string runs = word(static_cast<unsigned>(text.size() + 1)) + "BTNN";
    const std::string body = word(0x4000 + 10 + static_cast<unsigned>(text.size())) +
                             word(static_cast<unsigned>(runs.size())) + std::string(10, '\0') + text + runs;
    return word(static_cast<unsigned>(body.size())) + body;
}

std::string spr_record(unsigned type, const std::string& data) {
    return word(type) + word(static_cast<unsigned>(data.size())) + data;
}
std::string spr_file(const std::string& records) {
    return std::string("SPREADSHEET\0\0\0\0\0", 16) + std::string(6, '\0') + records;
}
std::string real_bytes(double v) {
    std::string b(8, '\0');
    std::memcpy(b.data(), &v, 8);
    return b;
}
std::string spr_cell(unsigned col, unsigned row, unsigned flags, unsigned format, const std::string& value) {
    return spr_record(2, word(col) + word(row) + char(flags) + char(format) + value);
}

} // namespace converter_tests
