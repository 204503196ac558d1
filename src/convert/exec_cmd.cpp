#include "convert/exec_cmd.h"

#include "platform/process.h"

namespace mod_ExecCmd {

std::int32_t ExecCmd(const char* application_name, const std::string& command_line) {
    return platform::run_process(application_name, command_line);
}

} // namespace mod_ExecCmd
