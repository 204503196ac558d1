#include "platform/file_lookup.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

bool hidden_name(const std::string& path) {
    const auto slash = path.find_last_of('/');
    const auto name_start = slash == std::string::npos ? 0 : slash + 1;
    return name_start < path.size() && path[name_start] == '.';
}

} // namespace

bool plain_file_exists(const std::string& path) {
    struct stat st {};
    return !hidden_name(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool program_present(const std::string& dir, const std::string& name) {
    const std::string path = dir + name;
    return plain_file_exists(path) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace platform
