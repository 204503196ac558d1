#include "platform/native.h"

#include <cctype>

namespace platform {

char native_separator() {
    return '\\';
}
const char* native_line_end() {
    return "\r\n";
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

} // namespace platform
