#include "platform/file_lookup.h"

#include "platform/conventions.h"
#include "platform/utf16_win32.h"

namespace platform {

bool plain_file_exists(const std::string& path) {
    const DWORD attrs = GetFileAttributesW(wide(path).c_str());
    const DWORD unwanted = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & unwanted) == 0;
}

std::vector<std::string> program_file_names(const std::string& name) {
    return {name + ".exe", name + ".com", name + ".bat"};
}

program_state program_status(const std::string& dir, const std::string& name) {
    // Every ending is tried; one plain file is enough. Something else by that name cannot be run.
    program_state state = program_state::missing;
    for (const std::string& file : program_file_names(name)) {
        if (plain_file_exists(dir + file))
            return program_state::present;
        if (GetFileAttributesW(wide(dir + file).c_str()) != INVALID_FILE_ATTRIBUTES)
            state = program_state::not_runnable;
    }
    return state;
}

bool program_present(const std::string& dir, const std::string& name) {
    return program_status(dir, name) == program_state::present;
}

path_info inspect_path(const std::string& path, bool follow_links) {
    const DWORD attrs = GetFileAttributesW(wide(path).c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {path_kind::missing, {}};
        const bool too_long = error == ERROR_FILENAME_EXCED_RANGE;
        return {too_long ? path_kind::too_long : path_kind::error, "error " + std::to_string(error)};
    }
    if (attrs & FILE_ATTRIBUTE_DIRECTORY)
        return {path_kind::directory, {}};
    if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) && !follow_links)
        return {path_kind::link, {}};
    return {(attrs & FILE_ATTRIBUTE_DEVICE) ? path_kind::special : path_kind::regular, {}};
}

bool dir_writable(const std::string& dir) {
    // A probe file that goes when its handle closes tells what the folder's rights allow.
    const std::string probe = (!dir.empty() && dir.back() == '\\' ? dir : dir + '\\') + "kivotemp.prb";
    const HANDLE h = CreateFileW(wide(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool installed_for_everyone(const std::string& dir) {
    for (const wchar_t* name : {L"ProgramFiles", L"ProgramFiles(x86)", L"ProgramW6432"}) {
        const wchar_t* folder = _wgetenv(name);
        if (!folder || !*folder)
            continue;
        const std::string prefix = narrow(folder);
        if (dir.size() >= prefix.size() && path_key(dir.substr(0, prefix.size())) == path_key(prefix) &&
            (dir.size() == prefix.size() || dir[prefix.size()] == '\\' || dir[prefix.size()] == '/'))
            return true;
    }
    return false;
}

bool readable_file(const std::string& path) {
    const HANDLE h =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() != ERROR_ACCESS_DENIED;
    CloseHandle(h);
    return true;
}

} // namespace platform
