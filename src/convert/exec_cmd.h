#pragma once
// The only way Kivo runs anything: one child at a time, waited for without limit.

#include <cstdint>
#include <string>

namespace mod_ExecCmd {

// The child's exit code, or -1 when it could not be started. A null application name lets the
// command line name the program.
std::int32_t ExecCmd(const char* application_name, const std::string& command_line);

} // namespace mod_ExecCmd
