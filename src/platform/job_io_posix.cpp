#include "platform/job_io.h"

#include "platform/errors.h"
#include "platform/job_io_shared.h"
#include "platform/plain_file_posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

using namespace output_detail;

namespace {

[[noreturn]] void fail_errno() {
    throw os_error(std::strerror(errno));
}

// A fresh file beside `path` that its owner alone may read until it takes its place; O_EXCL: never
// a link's target, never a file that was there.
// Locked while its job runs: a later batch that finds it knows it is still at work.
int create_beside(const std::string& path, std::string& name) {
    for (int tries = 0; tries < 100; ++tries) {
        name = temporary_name(path);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::flock(fd, LOCK_EX);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A fresh folder beside `path` for a converter's outputs, Kivo's alone.
std::string folder_beside(const std::string& path) {
    for (int tries = 0; tries < 100; ++tries) {
        std::string name = temporary_name(path);
        if (::mkdir(name.c_str(), 0700) == 0)
            return name;
        if (errno != EEXIST)
            fail_errno();
    }
    throw os_error("no free temporary name beside the output");
}

// A new file takes the old one's permission bits (and owner, where Kivo may give it); a first one
// the bits a new file gets from the umask, as the shell's redirection would give it.
void take_over_attributes(int fd, const std::string& path) {
    struct stat old {};
    if (::lstat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
        return;
    }
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
        (void)!::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

std::string folder_of(const std::string& path) {
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The plain files a converter left in its folder.
std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec) && !entry.is_symlink(ec))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

int open_scratch(const std::string& path) {
    const int fd = open_plain(path, O_WRONLY);
    if (::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        throw os_error(os_words(error));
    }
    return fd;
}

} // namespace

struct output_file::impl {
    std::string path;
    how mode;
    std::string temp; // standard_output: the new file; by_name: the old one, moved aside
    int fd = -1;
    int fd_folder = -1; // by_name: its folder, locked while the job runs
    bool committed = false;
};

output_file::output_file(const std::string& path, how h) : d(std::make_unique<impl>()) {
    d->path = path;
    d->mode = h;
    switch (h) {
    case how::standard_output:
        d->fd = create_beside(path, d->temp);
        if (d->fd < 0)
            fail_errno();
        break;
    case how::by_name:
        d->temp = folder_beside(path);
        d->fd_folder = ::open(d->temp.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (d->fd_folder >= 0)
            ::flock(d->fd_folder, LOCK_EX);
        break;
    case how::scratch:
        d->fd = open_scratch(path);
        d->committed = true;
        break;
    }
}

output_file::~output_file() {
    if (d->fd_folder >= 0)
        ::close(d->fd_folder);
    if (d->fd >= 0)
        ::close(d->fd);
    if (d->committed)
        return;
    std::error_code ec;
    if (d->mode == how::standard_output)
        ::unlink(d->temp.c_str());
    else
        std::filesystem::remove_all(d->temp, ec);
}

std::string output_file::folder() const {
    return d->mode == how::by_name ? d->temp : std::string();
}

std::vector<std::string> output_file::produced() const {
    std::vector<std::string> paths;
    if (d->mode == how::by_name)
        for (const std::string& name : names_in(d->temp))
            paths.push_back(folder_of(d->path) + name);
    return paths;
}

std::intptr_t output_file::handle() const {
    return d->fd;
}

void output_file::commit() {
    if (d->committed)
        return;
    if (d->mode == how::by_name) {
        // Each output in turn; a rename replaces what lay there (a link too) and never writes through it.
        for (const std::string& name : names_in(d->temp)) {
            const std::string from = d->temp + "/" + name, to = folder_of(d->path) + name;
            const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                take_over_attributes(fd, to);
                ::close(fd);
            }
            if (::rename(from.c_str(), to.c_str()) != 0)
                fail_errno();
        }
        std::error_code ec;
        std::filesystem::remove_all(d->temp, ec);
    } else {
        take_over_attributes(d->fd, d->path);
        // A rename replaces a link in the output's place; it never writes through it.
        if (::rename(d->temp.c_str(), d->path.c_str()) != 0)
            fail_errno();
    }
    d->committed = true;
}

bool remove_leftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool idle = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    std::error_code ec;
    if (idle)
        std::filesystem::remove_all(path, ec);
    ::close(fd);
    return idle && !ec;
}

input_file::input_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail_errno();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw os_error("not a regular file");
    }
    ::fcntl(fd, F_SETFL, 0); // the converter reads it as an ordinary blocking file
    handle_ = fd;
}

input_file::~input_file() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

std::intptr_t input_file::handle() const {
    return handle_;
}

} // namespace platform
