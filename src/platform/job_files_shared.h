#pragma once
// What both systems' output files share: the temporary name beside an output, and moving an old
// output aside and back.

#include <string>

namespace platform::output_detail {

constexpr const char* mark_attribute = "user.kivo"; // POSIX: on what Kivo makes, until it lands

// PATH's folder and NAME.kivo-XXXXXX, the X's as they stand.
std::string temporary_template(const std::string& path);
// PATH's folder and NAME.kivo-XXXXXX with fresh X's, NAME shortened to keep the whole name within
// 255 bytes.
std::string temporary_name(const std::string& path);

// Moves what lies at `path` to a new temporary name beside it, which it returns; empty when nothing
// lies there. Raises os_error.
std::string set_aside(const std::string& path);
// Removes a new, unfinished file at `path` and puts the old one back (when there was one).
void put_back(const std::string& aside, const std::string& path);
// After success: the old file goes; where no new file appeared, the old one stays.
void let_go(const std::string& aside, const std::string& path);

} // namespace platform::output_detail
