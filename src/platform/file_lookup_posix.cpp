#include "platform/file_lookup.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

program_state program_status(const std::string& dir, const std::string& name) {
    const std::string path = dir + name;
    struct stat st {};
    if (hidden_name(path) || ::stat(path.c_str(), &st) != 0)
        return (hidden_name(path) || errno == ENOENT || errno == ENOTDIR) ? program_state::missing
                                                                          : program_state::not_runnable;
    const bool runnable = S_ISREG(st.st_mode) && ::faccessat(AT_FDCWD, path.c_str(), X_OK, AT_EACCESS) == 0;
    return runnable ? program_state::present : program_state::not_runnable;
}

bool program_present(const std::string& dir, const std::string& name) {
    return program_status(dir, name) == program_state::present;
}

std::vector<std::string> program_file_names(const std::string& name) {
    return {name};
}

path_info inspect_path(const std::string& path, bool follow_links) {
    struct stat st {};
    if ((follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
        if (errno == ENOENT)
            return {path_kind::missing, {}};
        return {errno == ENAMETOOLONG ? path_kind::too_long : path_kind::error, std::strerror(errno)};
    }
    if (S_ISLNK(st.st_mode))
        return {path_kind::link, {}};
    if (S_ISDIR(st.st_mode))
        return {path_kind::directory, {}};
    if (!S_ISREG(st.st_mode))
        return {path_kind::special, {}};
    return {path_kind::regular, {}, st.st_uid == ::geteuid() && (st.st_mode & S_IRUSR) != 0};
}

bool dir_writable(const std::string& dir) {
    return ::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool installed_for_everyone(const std::string& dir) {
    return dir == "/usr" || dir.rfind("/usr/", 0) == 0;
}

bool readable_file(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0 || errno != EACCES;
}

} // namespace platform
