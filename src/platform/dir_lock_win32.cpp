#include "platform/dir_lock.h"

#include "platform/utf16_win32.h"

namespace platform {

dir_lock::~dir_lock() {
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

// A lock file opened without sharing: a second opener is refused, and the file goes when its handle
// closes, also when the process dies.
dir_lock::result dir_lock::try_lock(const std::string& dir) {
    const std::string path = (!dir.empty() && dir.back() == '\\' ? dir : dir + '\\') + "kivotemp.lck";
    const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? result::busy : result::unavailable;
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return result::locked;
}

} // namespace platform
