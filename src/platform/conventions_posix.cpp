#include "platform/conventions.h"

#include <climits>
#include <unistd.h>

namespace platform {

char native_separator() {
    return '/';
}
const char* native_line_end() {
    return "\n";
}
const char* text_file_mark() {
    return "";
}
bool converter_console_shown() {
    return false;
}
shell_dialect native_dialect() {
    return shell_dialect::posix_sh;
}

std::string path_key(const std::string& path) {
    return path;
}

std::string current_directory() {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

} // namespace platform
