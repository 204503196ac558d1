#pragma once
// Path and name helpers shared by the engine. Paths are UTF-8 on every platform; cutting is by plain
// byte search (a separator or dot byte never occurs inside a UTF-8 character), so a separator or dot
// in a directory name counts like any other.

#include "platform/conventions.h"

#include <cstddef>
#include <string>

namespace mod_utils_dsw {

std::string short_folder_path(const std::string& path);
std::string short_file_path(const std::string& path);

std::string file_name_part(const std::string& s, char sep = platform::native_separator());
std::string dir_part(const std::string& s, char sep = platform::native_separator());
std::string strip_extension(const std::string& s);
std::string extension_part(const std::string& s);
std::string with_trailing_backslash(const std::string& s, char sep = platform::native_separator());

// Deletes the path when a lookup finds it as a plain file; raises os_error when that fails.
void delete_if_exists(const std::string& path);
// Removes a file (not through a link); false when there was nothing to remove or it failed.
bool remove_file(const std::string& path);

// The length of the well-formed UTF-8 character at `at` (no overlong form, no surrogate, at most
// U+10FFFF), with its code point in `code`; 0 when the byte there starts none.
std::size_t utf8_char_at(const std::string& text, std::size_t at, char32_t& code);

// Equal but for the letter case of ASCII letters.
bool equals_ignoring_case(const std::string& a, const std::string& b);

// Both paths name one existing file (links, case-insensitive file systems).
bool same_file(const std::string& a, const std::string& b);

} // namespace mod_utils_dsw
