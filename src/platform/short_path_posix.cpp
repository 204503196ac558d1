#include "platform/short_path.h"

#include "platform/errors.h"

#include <sys/stat.h>

namespace platform {
namespace {

// POSIX keeps no short names: the path serves as it is, once it is known to exist.
std::string existing(const std::string& path, bool want_dir, const char* missing) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode) != want_dir)
        throw os_error(missing);
    return path;
}

} // namespace

std::string short_folder_path(const std::string& path) {
    return existing(path, true, "folder not found");
}
std::string short_file_path(const std::string& path) {
    return existing(path, false, "file not found");
}

std::string interpreter_output_path(const std::string& path) {
    return path; // the shell takes the name's bytes as they are
}

} // namespace platform
