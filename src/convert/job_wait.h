#pragma once
// The only way Kivo runs anything: one job at a time, waited for while the window's events go on,
// and stopped when the user asks.

#include "platform/job_process.h"

#include <cstdint>
#include <string>

namespace mod_convert {
class main_window;
}

namespace mod_ExecCmd {

struct exec_result {
    bool started = false; // false: no process could be created
    bool stopped = false; // the user stopped it
    std::int32_t exit_code = 0;
    std::string error_tail; // the end of its error output, where captured
};

exec_result ExecCmd(mod_convert::main_window& window, const platform::job_command& job);

} // namespace mod_ExecCmd
