#include "platform/process.h"

#include "platform/process_win32.h"

#include <atomic>
#include <thread>
#include <vector>

namespace platform {

STARTUPINFOA job_startup_info() {
    STARTUPINFOA info{};
    info.cb = sizeof(info);
    info.dwFlags = STARTF_USESHOWWINDOW;   // 1
    info.wShowWindow = SW_SHOWMINNOACTIVE; // 7
    return info;
}

struct job_process::impl {
    std::function<void()> on_end;
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    std::atomic<bool> done{false};
    DWORD code = 0;
    std::thread waiter;
};

job_process::job_process(std::function<void()> on_end) : d(std::make_unique<impl>()) {
    d->on_end = std::move(on_end);
}

job_process::~job_process() {
    if (running())
        stop();
    if (d->waiter.joinable())
        d->waiter.join();
    if (d->process)
        CloseHandle(d->process);
    if (d->job)
        CloseHandle(d->job); // kills whatever is left in it
}

bool job_process::start(const std::string& script_path) {
    // Everything the job starts stays in one job object, so that stop and Kivo's end reach it all.
    d->job = CreateJobObjectA(nullptr, nullptr);
    if (d->job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(d->job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    STARTUPINFOA startup = job_startup_info();
    PROCESS_INFORMATION process{};
    // Quoted: an unquoted path with blanks could start C:\Program.exe.
    const std::string command = '"' + script_path + '"';
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0'); // CreateProcessA may write into its command line
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process))
        return false;
    if (d->job)
        AssignProcessToJobObject(d->job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    d->process = process.hProcess;
    d->waiter = std::thread([this] {
        WaitForSingleObject(d->process, INFINITE);
        DWORD code = 0;
        d->code = GetExitCodeProcess(d->process, &code) ? code : static_cast<DWORD>(-1);
        d->done = true;
        d->on_end();
    });
    return true;
}

bool job_process::running() const {
    return d->waiter.joinable() && !d->done;
}

void job_process::stop() {
    if (d->done || !d->process)
        return;
    if (!d->job || !TerminateJobObject(d->job, 1))
        TerminateProcess(d->process, 1);
}

int job_process::exit_code() const {
    return static_cast<int>(d->code);
}

std::string job_process::error_tail() const {
    return {}; // the converter's errors show in its own console window
}

} // namespace platform
