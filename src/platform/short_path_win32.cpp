#include "platform/short_path.h"

#include "platform/errors.h"
#include "platform/utf16_win32.h"

namespace platform {
namespace {

std::string short_form(const std::string& path, bool want_dir, const char* missing) {
    const std::wstring long_path = wide(path);
    const DWORD attrs = GetFileAttributesW(long_path.c_str());
    if (path.empty() || attrs == INVALID_FILE_ATTRIBUTES || ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) != want_dir)
        throw os_error(missing);
    const DWORD needed = GetShortPathNameW(long_path.c_str(), nullptr, 0);
    if (needed == 0)
        throw os_error(missing);
    std::wstring result(needed, L'\0');
    const DWORD written = GetShortPathNameW(long_path.c_str(), result.data(), needed);
    if (written == 0 || written >= needed)
        throw os_error(missing);
    result.resize(written);
    return narrow(result);
}

bool ascii(const std::string& s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

} // namespace

std::string short_folder_path(const std::string& path) {
    return short_form(path, true, "folder not found");
}
std::string short_file_path(const std::string& path) {
    return short_form(path, false, "file not found");
}

// The batch interpreter reads its script in the console's code page: only ASCII reaches it intact.
std::string interpreter_output_path(const std::string& path) {
    if (ascii(path))
        return path;
    const auto cut = path.find_last_of('\\');
    const std::string folder = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    const std::string name = path.substr(folder.size());
    std::string readable;
    if (ascii(name) && !folder.empty()) {
        readable = short_form(folder, true, "folder not found") + "\\" + name;
    } else {
        // A name outside ASCII has a short form only once the file exists.
        const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        readable = short_form(path, false, "cannot create the output");
    }
    if (!ascii(readable))
        throw os_error("the name cannot be passed to the command interpreter");
    return readable;
}

} // namespace platform
