#pragma once
// Lookups of single files as the user sees them: hidden, system files and directories are not found.

#include <string>
#include <vector>

namespace platform {

// An ordinary file at exactly this path (not hidden, not system, not a directory).
bool plain_file_exists(const std::string& path);

enum class program_state { present, missing, not_runnable };
// Whether the converter `name` can be started from `dir` (which ends in a separator).
program_state program_status(const std::string& dir, const std::string& name);
bool program_present(const std::string& dir, const std::string& name);
// The file names a program `name` may have (POSIX: the name; Windows: with .exe, .com, .bat).
std::vector<std::string> program_file_names(const std::string& name);

enum class path_kind { missing, regular, directory, link, special, too_long, error };
struct path_info {
    path_kind kind;
    std::string reason;          // the OS's words, for too_long and error
    bool known_readable = false; // a regular file its owner, this process, may read: no need to ask
};
// What lies at `path`; without `follow_links` a final link is reported as a link.
path_info inspect_path(const std::string& path, bool follow_links);
// Whether this process may create files in the directory.
bool dir_writable(const std::string& dir);
// A folder the system installs programs into for every user (POSIX: under /usr; Windows: under
// Program Files): nothing is written there while a program runs, whoever runs it.
bool installed_for_everyone(const std::string& dir);
// False when the OS refuses to let this process read the file.
bool readable_file(const std::string& path);

} // namespace platform
