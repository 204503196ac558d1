#pragma once
// The organiser's character set, IBM code page 850, to and from UTF-8.

#include <cstdint>
#include <string>

namespace kconv {

// One byte of 32 or above as UTF-8 (the control bytes below 32 are the caller's to map).
std::string cp850_to_utf8(std::uint8_t byte);
// The code page's byte for a code point, or -1 when it has none.
int cp850_from_unicode(char32_t code_point);
// The next code point of UTF-8 text at `at` (advanced past it); a malformed byte gives U+FFFD.
char32_t next_code_point(const std::string& text, std::size_t& at);
std::string utf8(char32_t code_point);

// UTF-8 text in code page 850 for the organiser: each character the code page lacks, and each
// control character below 32 (the organiser's own codes), becomes '?' and is counted.
struct cp850_counts {
    std::size_t lacking = 0, controls = 0;
};
std::string cp850_from_utf8(const std::string& text, cp850_counts& counts);

} // namespace kconv
