#include "platform/file_lookup.h"

#include <windows.h>

namespace platform {

bool plain_file_exists(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    const DWORD unwanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & unwanted) == 0;
}

bool program_present(const std::string& dir, const std::string& name) {
    // Every ending is tried; one is enough.
    bool found = false;
    for (const char* ending : {".exe", ".com", ".bat"})
        found = plain_file_exists(dir + name + ending) || found;
    return found;
}

} // namespace platform
