#pragma once
// Lookups of single files as the user sees them: hidden, system files and directories are not found.

#include <string>

namespace platform {

// An ordinary file at exactly this path (not hidden, not system, not a directory).
bool plain_file_exists(const std::string& path);

// Whether the converter `name` can be started from `dir` (which ends in a separator).
bool program_present(const std::string& dir, const std::string& name);

} // namespace platform
