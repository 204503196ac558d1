#include "platform/text_file.h"

#include "platform/errors.h"
#include "platform/plain_file_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::string os_words(int error) {
    return error == ENOSPC ? "disk full" : std::strerror(error);
}

int open_plain(const std::string& path, int flags, off_t* size) {
    const int fd = ::open(path.c_str(), flags | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0)
        throw os_error(os_words(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw os_error("not a plain file");
    }
    if (size)
        *size = st.st_size;
    return fd;
}

namespace {

void write_all(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw os_error(os_words(n < 0 ? errno : ENOSPC));
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

void write_text_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    const int fd = open_plain(path, O_WRONLY);
    try {
        write_all(fd, text);
        if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0)
            throw os_error(os_words(errno));
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        throw os_error(os_words(errno));
}

struct text_appender::impl {
    int fd = -1;
    off_t start = 0;
};

text_appender::text_appender(const std::string& path) : d(std::make_unique<impl>()) {
    d->fd = open_plain(path, O_WRONLY | O_APPEND, &d->start);
}

text_appender::~text_appender() {
    if (d->fd < 0)
        return;
    (void)!::ftruncate(d->fd, d->start);
    ::close(d->fd);
}

void text_appender::write(const std::string& text) {
    write_all(d->fd, text);
}

void text_appender::close() {
    const int fd = d->fd;
    d->fd = -1;
    if (::close(fd) != 0)
        throw os_error(os_words(errno));
}

} // namespace platform
