#include "fields.h"

#include "cp850.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kconv {

std::string field_text(const std::uint8_t* data, std::size_t size, int dropped) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b == dropped || (b == '\r' && i + 1 < size && data[i + 1] == '\n'))
            continue;
        out += b < 32 ? std::string(" ") : cp850_to_utf8(b);
    }
    return out;
}

// The shortest exact digits (to_chars), counted, then written in printf's %g form.
std::string shortest_number(double value) {
    char digits[64];
    const char* begin = digits;
    const char* end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::scientific).ptr;
    const int count =
        static_cast<int>(std::count_if(begin, std::find(begin, end, 'e'), [](char c) { return c >= '0' && c <= '9'; }));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", std::max(count, 1), value);
    return buffer;
}

// Days to a civil date, after the well-known algorithm of counting 400-year eras from 0000-03-01.
std::string iso_date(std::int64_t day) {
    const std::int64_t z = day + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02lld-%02lld", static_cast<long long>(y), static_cast<long long>(m),
                  static_cast<long long>(d));
    return buffer;
}

std::string clock_time(std::int64_t minutes) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld", static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
    return buffer;
}

double get_real(const bytes& data, std::size_t at) {
    const std::uint64_t bits = get32(data, at) | std::uint64_t{get32(data, at + 4)} << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    for (std::size_t start = 0; start < text.size();) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::vector<std::string> fields;
        for (std::size_t from = 0;;) {
            const auto tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
            if (tab == std::string::npos)
                break;
            from = tab + 1;
        }
        rows.push_back(std::move(fields));
        start = end + 1;
    }
    return rows;
}

void flush_when_large(std::string& out) {
    if (out.size() > (1u << 16)) {
        write_stdout(out);
        out.clear();
    }
}

} // namespace kconv
