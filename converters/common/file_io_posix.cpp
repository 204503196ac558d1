#include "file_io.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace kconv::os {

namespace {
const char* const mark_attribute = "user.kivo"; // the mark Kivo gives its own temporary files
} // namespace

void binary_stdio() {}

int create_new(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::flock(fd, LOCK_EX);
        const std::string value = "kivo " + std::to_string(::getpid());
        (void)::fsetxattr(fd, mark_attribute, value.data(), value.size(), 0);
    }
    return fd;
}

namespace {

// Writes the whole of `data`, a part at a time as `write_part` takes it (given the part and how much
// is done), going on after a signal.
template <typename Write> bool write_whole(const std::uint8_t* data, std::size_t size, Write&& write_part) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = write_part(data + done, size - done, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
    return write_whole(data, size,
                       [fd](const std::uint8_t* p, std::size_t n, std::size_t) { return ::write(fd, p, n); });
}

bool write_at(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    return write_whole(data, size, [fd, offset](const std::uint8_t* p, std::size_t n, std::size_t done) {
        return ::pwrite(fd, p, n, static_cast<off_t>(offset + done));
    });
}

void take_final_mode(int fd, const std::string& output) {
    (void)::fremovexattr(fd, mark_attribute);
    struct stat old {};
    if (::lstat(output.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
}

bool close_file(int fd) {
    return ::close(fd) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void with_signals_held(const std::function<void()>& change) {
    sigset_t stopping, old;
    sigemptyset(&stopping);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopping, sig);
    sigprocmask(SIG_BLOCK, &stopping, &old);
    change();
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void on_stopping_signals(void (*handler)(int)) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        std::signal(sig, handler);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace kconv::os
