#include "content_lines.h"

#include "calendar.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace kconv {

void content_lines::add(const std::string& line) {
    constexpr std::size_t limit = 75;
    std::size_t at = 0;
    for (bool first = true; first || at < line.size(); first = false) {
        std::size_t room = first ? limit : limit - 1; // a continuation starts with a blank
        std::size_t end = std::min(line.size(), at + room);
        while (end < line.size() && end > at && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end; // never inside a character
        text_ += (first ? "" : " ") + line.substr(at, end - at) + "\r\n";
        at = end;
    }
}

std::string escaped_text(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == ';' || c == ',')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

std::string stable_id(const std::string& key) {
    std::uint64_t hash = 0xCBF29CE484222325ull; // FNV-1a
    for (unsigned char c : key)
        hash = (hash ^ c) * 0x100000001B3ull;
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(hash));
    return buffer;
}

std::string utc_stamp() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    const std::int64_t seconds = epoch && *epoch ? std::strtoll(epoch, nullptr, 10) : std::time(nullptr);
    const std::int64_t day = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const std::int64_t rest = seconds - day * 86400;
    const civil_date c = civil_from_days(day);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04lld%02d%02dT%02lld%02lld%02lldZ", static_cast<long long>(c.year), c.month,
                  c.day, static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60));
    return buffer;
}

} // namespace kconv
