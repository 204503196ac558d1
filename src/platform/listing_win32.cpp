#include "platform/listing.h"

#include "platform/errors.h"
#include "platform/utf16_win32.h"

namespace platform {
namespace {

entry_kind kind_of(const WIN32_FIND_DATAW& data) {
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return entry_kind::file;
    // Junctions and other reparse points are not entered: they can form cycles.
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? entry_kind::link_to_directory
                                                                  : entry_kind::directory;
}

} // namespace

std::vector<dir_entry> list_directory(const std::string& dir) {
    const std::string prefix = (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) ? dir : dir + '\\';
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(wide(prefix + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return {};
        throw os_error("cannot read the directory (error " + std::to_string(GetLastError()) + ")");
    }
    std::vector<dir_entry> entries;
    do {
        const std::string name = narrow(data.cFileName);
        const bool unlisted = (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
        if (!unlisted && name != "." && name != "..")
            entries.push_back({name, kind_of(data)});
    } while (FindNextFileW(find, &data));
    FindClose(find);
    sort_listing(entries);
    return entries;
}

} // namespace platform
