#include "file_io.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace kconv::os {

void binary_stdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
}

int create_new(const std::string& path) {
    return _wopen(std::filesystem::u8path(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
}

bool write_all(int fd, const std::uint8_t* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(size - done, 1u << 20));
        const int n = _write(fd, data + done, chunk);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool write_at(int fd, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
    const __int64 end = _telli64(fd);
    const bool done = _lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) >= 0 && write_all(fd, data, size);
    return _lseeki64(fd, end, SEEK_SET) >= 0 && done;
}

void take_final_mode(int, const std::string&) {}

bool close_file(int fd) {
    return _close(fd) == 0;
}

bool replace(const std::string& from, const std::string& to) {
    return MoveFileExW(std::filesystem::u8path(from).c_str(), std::filesystem::u8path(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
}

void with_signals_held(const std::function<void()>& change) {
    change();
}

void on_stopping_signals(void (*handler)(int)) {
    for (int sig : {SIGTERM, SIGINT})
        std::signal(sig, handler);
}

} // namespace kconv::os
