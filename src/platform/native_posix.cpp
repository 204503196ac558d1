#include "platform/native.h"

namespace platform {

char native_separator() {
    return '/';
}
const char* native_line_end() {
    return "\n";
}
shell_dialect native_dialect() {
    return shell_dialect::posix_sh;
}

std::string path_key(const std::string& path) {
    return path;
}

} // namespace platform
