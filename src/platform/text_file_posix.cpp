#include "platform/text_file.h"

#include "platform/errors.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

bool write_all(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void write_text_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + '\n';
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        throw os_error("cannot write " + path);
    const bool ok = write_all(fd, text) && ::ftruncate(fd, static_cast<off_t>(text.size())) == 0;
    if (::close(fd) != 0 || !ok)
        throw os_error("cannot write " + path);
}

} // namespace platform
