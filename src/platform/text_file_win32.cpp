#include "platform/text_file.h"

#include "platform/errors.h"
#include "platform/utf16_win32.h"

namespace platform {
namespace {

std::string os_words(DWORD error) {
    if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL)
        return "disk full";
    return "Windows error " + std::to_string(error);
}

// A reparse point (link) is opened as itself, never followed to another file.
HANDLE open_plain(const std::string& path, DWORD access) {
    const HANDLE h = CreateFileW(wide(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw os_error(os_words(GetLastError()));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(h);
        throw os_error("not a plain file");
    }
    return h;
}

void write_all(HANDLE h, const std::string& text) {
    DWORD written = 0;
    if (!WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written != text.size())
        throw os_error(os_words(GetLastError()));
}

} // namespace

void write_text_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    const HANDLE h = open_plain(path, GENERIC_WRITE);
    DWORD written = 0;
    const bool done = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                      written == text.size() && SetEndOfFile(h);
    if (!CloseHandle(h) || !done)
        throw os_error("cannot write " + path);
}

struct text_appender::impl {
    HANDLE h = INVALID_HANDLE_VALUE;
    LARGE_INTEGER start{};
};

text_appender::text_appender(const std::string& path) : d(std::make_unique<impl>()) {
    d->h = open_plain(path, GENERIC_READ | GENERIC_WRITE);
    GetFileSizeEx(d->h, &d->start);
    SetFilePointerEx(d->h, d->start, nullptr, FILE_BEGIN);
}

text_appender::~text_appender() {
    if (d->h == INVALID_HANDLE_VALUE)
        return;
    SetFilePointerEx(d->h, d->start, nullptr, FILE_BEGIN);
    SetEndOfFile(d->h);
    CloseHandle(d->h);
}

void text_appender::write(const std::string& text) {
    write_all(d->h, text);
}

void text_appender::close() {
    const HANDLE h = d->h;
    d->h = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        throw os_error(os_words(GetLastError()));
}

} // namespace platform
