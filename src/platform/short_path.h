#pragma once
// Short (8.3) forms of existing paths; raises os_error for a missing folder or file.

#include <string>

namespace platform {

std::string short_folder_path(const std::string& path);
std::string short_file_path(const std::string& path);
// An output's path in a form the command interpreter reads exactly: unchanged where it can already;
// on Windows, the short form of its folder, or of the file itself (created empty for that) when its
// name is not ASCII. Raises os_error when no such form exists.
std::string interpreter_output_path(const std::string& path);

} // namespace platform
