#include "convert/job_wait.h"

#include "convert/main_window.h"

namespace mod_ExecCmd {

exec_result ExecCmd(mod_convert::main_window& window, const platform::job_command& job) {
    exec_result result;
    platform::job_process child([&window] { window.wake(); });
    result.started = child.start(job);
    while (child.running()) {
        if (!result.stopped && window.stop_requested()) {
            child.stop();
            result.stopped = true;
        }
        window.do_events();
    }
    if (result.started) {
        result.exit_code = child.exit_code();
        result.error_tail = child.error_tail();
    }
    return result;
}

} // namespace mod_ExecCmd
