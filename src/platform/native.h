#pragma once
// What differs between the OS families in plain text: the path separator, line ends, the shell.

#include <string>

namespace platform {

// The command interpreter that runs job scripts.
enum class shell_dialect { windows_cmd, posix_sh };

char native_separator();
const char* native_line_end();
shell_dialect native_dialect();
// The process's current directory as the OS spells it (POSIX: its bytes, which need not be UTF-8).
std::string current_directory();
// A key under which two spellings of one path compare equal (letter case, where names ignore it).
std::string path_key(const std::string& path);

} // namespace platform
