#include "fields.h"

#include "cp850.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

// The shortest exact digits (to_chars) d1...dk and the power n with value = 0.d1...dk x 10^n, spelt
// as JavaScript spells a number: plain decimals for 1e-6 <= |x| < 1e21, the exponent form beyond.
std::string shortest_number(double value) {
    if (!std::isfinite(value)) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%g", value);
        return buffer;
    }
    const std::string sign = std::signbit(value) ? "-" : "";
    char buffer[64];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific).ptr;
    const std::string text(static_cast<const char*>(buffer), end);
    const auto e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int k = static_cast<int>(digits.size());
    const int n = std::atoi(text.c_str() + e + 1) + 1;
    if (value == 0)
        return sign + "0";
    if (k <= n && n <= 21)
        return sign + digits + std::string(static_cast<std::size_t>(n - k), '0');
    if (0 < n && n <= 21)
        return sign + digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
    if (-6 < n && n <= 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
    const std::string mantissa = k == 1 ? digits : digits.substr(0, 1) + "." + digits.substr(1);
    return sign + mantissa + "e" + (n - 1 < 0 ? "-" : "+") + std::to_string(std::abs(n - 1));
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
