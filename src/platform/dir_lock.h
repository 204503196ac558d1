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

    // busy: another holder (another process, or another lock here) has it. unavailable: the OS
    // cannot lock it (no lock support, no access): the caller goes on unguarded and says so.
    enum class result { locked, busy, unavailable };
    result try_lock(const std::string& dir);

private:
    std::intptr_t handle_ = -1;
};

} // namespace platform
