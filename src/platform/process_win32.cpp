#include "platform/process.h"

#include "platform/process_win32.h"

#include <vector>

namespace platform {

STARTUPINFOA job_startup_info() {
    STARTUPINFOA info{};
    info.cb = sizeof(info);
    info.dwFlags = STARTF_USESHOWWINDOW;   // 1
    info.wShowWindow = SW_SHOWMINNOACTIVE; // 7
    return info;
}

int run_process(const char* application, const std::string& command_line) {
    STARTUPINFOA startup = job_startup_info();
    PROCESS_INFORMATION process{};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0'); // CreateProcessA may write into its command line
    if (!CreateProcessA(application, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    const BOOL got_code = GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return got_code ? static_cast<int>(code) : -1;
}

} // namespace platform
