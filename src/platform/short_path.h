#pragma once
// Short (8.3) forms of existing paths; raises os_error for a missing folder or file.

#include <string>

namespace platform {

std::string short_folder_path(const std::string& path);
std::string short_file_path(const std::string& path);

} // namespace platform
