#include "platform/listing.h"

#include "platform/errors.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

entry_kind kind_by_lookup(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return entry_kind::other;
    if (S_ISLNK(st.st_mode)) {
        struct stat target {};
        if (::stat(path.c_str(), &target) != 0)
            return entry_kind::file; // a dangling link fails as a file, visibly
        if (S_ISDIR(target.st_mode))
            return entry_kind::link_to_directory;
        return S_ISREG(target.st_mode) ? entry_kind::file : entry_kind::other;
    }
    if (S_ISDIR(st.st_mode))
        return entry_kind::directory;
    return S_ISREG(st.st_mode) ? entry_kind::file : entry_kind::other;
}

// The directory entry's own type where the file system gives it; a lookup only for links and unknowns.
entry_kind kind_of(const dirent& d, const std::string& path) {
    switch (d.d_type) {
    case DT_REG:
        return entry_kind::file;
    case DT_DIR:
        return entry_kind::directory;
    case DT_LNK:
    case DT_UNKNOWN:
        return kind_by_lookup(path);
    default:
        return entry_kind::other;
    }
}

} // namespace

std::vector<dir_entry> list_directory(const std::string& dir) {
    std::unique_ptr<DIR, int (*)(DIR*)> handle(::opendir(dir.c_str()), &::closedir);
    if (!handle)
        throw os_error(std::strerror(errno));
    // A directory that can be read but not searched would list names that cannot be opened.
    if (::faccessat(AT_FDCWD, dir.c_str(), X_OK, AT_EACCESS) != 0)
        throw os_error(std::strerror(errno));
    std::vector<dir_entry> entries;
    const std::string prefix = (!dir.empty() && dir.back() == '/') ? dir : dir + '/';
    while (const dirent* d = ::readdir(handle.get())) {
        const std::string name = d->d_name;
        if (name.empty() || name[0] == '.')
            continue; // hidden, and "." and ".."
        entries.push_back({name, kind_of(*d, prefix + name)});
    }
    sort_listing(entries);
    return entries;
}

} // namespace platform
