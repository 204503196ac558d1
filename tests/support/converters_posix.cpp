#include "converters.h"

#include <chrono>
#include <sys/stat.h>
#include <thread>

namespace kivo_test {

void write_converter(const std::string& app_dir, const std::string& name, const std::string& body) {
    const std::string path = app_dir + "/" + name;
    write_file(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

void write_recording_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                               int exit_code) {
    const std::string base = app_dir + "/" + name;
    std::string body = "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + base + ".args'\n";
    // Only stdin-fed converters (no arguments) read their standard input.
    body += "if [ $# -eq 0 ]; then cat > '" + base + ".stdin'; fi\n";
    body += "printf '%s' '" + output + "'\nexit " + std::to_string(exit_code) + "\n";
    write_converter(app_dir, name, body);
}

void write_waiting_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                             int wait_ms, const std::string& pid_file) {
    std::string body = pid_file.empty() ? "" : "echo $$ > '" + pid_file + "'\n";
    body += wait_ms < 0 ? "sleep 1000\n" : "sleep " + std::to_string(wait_ms / 1000.0) + "\n";
    write_converter(app_dir, name, body + "printf '%s' '" + output + "'\n");
}

long peak_rss_kb() {
#ifdef KIVO_SANITIZED
    return -1;
#else
    const std::string status = read_file("/proc/self/status");
    return std::stol(status.substr(status.find("VmHWM:") + 6));
#endif
}

platform::job_command script_job(const std::string& script) {
    platform::job_command job;
    job.script = script;
    job.program = "/bin/sh";
    job.args = {script};
    return job;
}

bool process_ended(const std::string& pid_file) {
    const std::string pid = read_file(pid_file);
    for (int tries = 0; tries < 50; ++tries) {
        const std::string stat = read_file("/proc/" + pid.substr(0, pid.find('\n')) + "/stat");
        const auto state = stat.find(") ");
        if (state == std::string::npos || stat[state + 2] == 'Z')
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace kivo_test
