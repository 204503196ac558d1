#include "platform/short_path.h"

#include "platform/errors.h"

#include <windows.h>

namespace platform {
namespace {

std::string short_form(const std::string& path, bool want_dir, const char* missing) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    if (path.empty() || attrs == INVALID_FILE_ATTRIBUTES || ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) != want_dir)
        throw os_error(missing);
    const DWORD needed = GetShortPathNameA(path.c_str(), nullptr, 0);
    if (needed == 0)
        throw os_error(missing);
    std::string result(needed, '\0');
    const DWORD written = GetShortPathNameA(path.c_str(), result.data(), needed);
    if (written == 0 || written >= needed)
        throw os_error(missing);
    result.resize(written);
    return result;
}

} // namespace

std::string short_folder_path(const std::string& path) {
    return short_form(path, true, "folder not found");
}
std::string short_file_path(const std::string& path) {
    return short_form(path, false, "file not found");
}

} // namespace platform
