#include "platform/conventions.h"

#include "platform/utf16_win32.h"

#include <cctype>

namespace platform {

char native_separator() {
    return '\\';
}
const char* native_line_end() {
    return "\r\n";
}
const char* text_file_mark() {
    return "\xEF\xBB\xBF";
}
bool converter_console_shown() {
    return true;
}
shell_dialect native_dialect() {
    return shell_dialect::windows_cmd;
}

std::string path_key(const std::string& path) {
    std::string key = path;
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

std::string current_directory() {
    wchar_t buffer[32768];
    const DWORD n = GetCurrentDirectoryW(32768, buffer);
    return n > 0 && n < 32768 ? narrow(std::wstring(buffer, n)) : std::string();
}

} // namespace platform
