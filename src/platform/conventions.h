#pragma once
// What differs between the OS families in the ways of text and programs: the path separator, line
// ends, the shell, what a text file for people starts with, whether a converter shows a console.

#include <string>

namespace platform {

// The command interpreter that runs job scripts.
enum class shell_dialect { windows_cmd, posix_sh };

char native_separator();
const char* native_line_end();
shell_dialect native_dialect();
// The process's current directory as the OS spells it (POSIX: its bytes, which need not be UTF-8).
std::string current_directory();
// What a text file for people begins with (Windows: the UTF-8 byte-order mark, without which
// Notepad reads the ANSI code page); empty elsewhere.
const char* text_file_mark();
// Whether a converter shows a console window of its own (Windows: in the task bar).
bool converter_console_shown();
// A key under which two spellings of one path compare equal (letter case, where names ignore it).
std::string path_key(const std::string& path);

} // namespace platform
