#include "platform/native.h"

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

} // namespace platform
