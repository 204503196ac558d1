#pragma once
// What the POSIX text and job files share: opening a plain file without following a link or
// waiting on a FIFO, and the OS's words for a failure.

#include <string>
#include <sys/types.h>

namespace platform {

// "disk full" for ENOSPC, else the OS's own words.
std::string os_words(int error);
// Opens (creating it when missing) a plain file with `flags`; its size goes to `size`. Anything
// else in its place, a link, FIFO, device or directory, is refused. Raises os_error.
int open_plain(const std::string& path, int flags, off_t* size = nullptr);

} // namespace platform
