#include "platform/process.h"

#include "platform/process_win32.h"
#include "platform/utf16_win32.h"

#include <atomic>
#include <thread>
#include <vector>

#include <tlhelp32.h>

namespace platform {

STARTUPINFOW job_startup_info() {
    STARTUPINFOW info{};
    info.cb = sizeof(info);
    info.dwFlags = STARTF_USESHOWWINDOW;   // 1
    info.wShowWindow = SW_SHOWMINNOACTIVE; // 7
    return info;
}

namespace {

// The process and everything it started, children first: the job object should hold them all, but
// a program may break away from it (and Wine does not always carry jobs over to children).
void collect_tree(DWORD pid, const std::vector<PROCESSENTRY32W>& all, std::vector<DWORD>& out) {
    for (const auto& p : all)
        if (p.th32ParentProcessID == pid && p.th32ProcessID != pid)
            collect_tree(p.th32ProcessID, all, out);
    out.push_back(pid);
}

void terminate_tree(DWORD root) {
    std::vector<PROCESSENTRY32W> all;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            all.push_back(entry);
        CloseHandle(snapshot);
    }
    std::vector<DWORD> tree;
    collect_tree(root, all, tree);
    for (DWORD pid : tree) {
        if (const HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(h, 1);
            CloseHandle(h);
        }
    }
}

} // namespace

struct job_process::impl {
    std::function<void()> on_end;
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    DWORD pid = 0;
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

bool job_process::start(const job_command& job) {
    // Everything the job starts stays in one job object, so that stop and Kivo's end reach it all.
    d->job = CreateJobObjectA(nullptr, nullptr);
    if (d->job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(d->job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    STARTUPINFOW startup = job_startup_info();
    PROCESS_INFORMATION process{};
    // Quoted: an unquoted path with blanks could start C:\Program.exe.
    const std::wstring command = L'"' + wide(job.script) + L'"';
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0'); // CreateProcessW may write into its command line
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr,
                        nullptr, &startup, &process))
        return false;
    if (d->job)
        AssignProcessToJobObject(d->job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    d->process = process.hProcess;
    d->pid = process.dwProcessId;
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
    terminate_tree(d->pid);
    if (d->job)
        TerminateJobObject(d->job, 1);
}

int job_process::exit_code() const {
    return static_cast<int>(d->code);
}

std::string job_process::error_tail() const {
    return {}; // the converter's errors show in its own console window
}

} // namespace platform
