#include "platform/text_file.h"

#include "platform/errors.h"
#include "platform/utf16_win32.h"

namespace platform {

void write_text_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw os_error("cannot write " + path);
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && SetEndOfFile(h);
    if (!CloseHandle(h) || !ok)
        throw os_error("cannot write " + path);
}

} // namespace platform
