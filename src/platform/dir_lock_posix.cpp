#include "platform/dir_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

dir_lock::~dir_lock() {
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

// The directory itself carries the lock: nothing is created, so a read-only folder can be locked too.
// Close-on-exec keeps a converter that outlives Kivo from holding it.
dir_lock::result dir_lock::try_lock(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return result::unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? result::busy : result::unavailable;
    }
    handle_ = fd;
    return result::locked;
}

} // namespace platform
