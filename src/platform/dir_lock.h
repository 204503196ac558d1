#pragma once
// An exclusive lock on a directory for one batch. The OS drops it when the process ends, so a crash
// leaves nothing to clean up.

#include <cstdint>
#include <string>

namespace platform {

class dir_lock {
public:
    dir_lock() = default;
    ~dir_lock();
    dir_lock(const dir_lock&) = delete;
    dir_lock& operator=(const dir_lock&) = delete;

    // False only when another holder (another process, or another lock here) has it. A directory that
    // cannot be opened for locking is not guarded, and the batch meets its real trouble later.
    bool try_lock(const std::string& dir);

private:
    std::intptr_t handle_ = -1;
};

} // namespace platform
