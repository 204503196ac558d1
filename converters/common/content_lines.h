#pragma once
// The text files of calendars and address books (iCalendar, vCard): content lines ended by CR LF,
// folded at 75 octets and never inside a UTF-8 character, text values escaped.

#include <cstdint>
#include <ctime>
#include <string>

namespace kconv {

class content_lines {
public:
    void add(const std::string& line); // a whole content line, "NAME;PARAM=X:value", folded here
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// A TEXT value, or a part of a structured one: backslash, semicolon and comma escaped, line breaks as \n.
std::string escaped_text(const std::string& text);

// A short, stable id for `key`: the same key gives the same id on every run and system.
std::string stable_id(const std::string& key);

// Now, or SOURCE_DATE_EPOCH where it is set (so that a build can be reproduced), in UTC as
// YYYYMMDDTHHMMSSZ.
std::string utc_stamp();

} // namespace kconv
