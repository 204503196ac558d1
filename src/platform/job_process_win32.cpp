#include "platform/job_process.h"

#include "platform/job_process_win32.h"
#include "platform/utf16_win32.h"

#include <atomic>
#include <mutex>
#include <string>
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

constexpr std::size_t error_tail_size = 4096;

HANDLE null_device(DWORD access) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
}

} // namespace

struct job_process::impl {
    std::function<void()> on_end;
    HANDLE job = nullptr;
    HANDLE process = nullptr;
    HANDLE errors = nullptr; // the read end of the child's standard error
    DWORD pid = 0;
    std::atomic<bool> done{false};
    DWORD code = 0;
    std::mutex mutex;
    std::string tail;
    std::thread waiter;

    // What the pipe holds now, never waiting for more: a process the job left may keep it open.
    void read_errors() {
        char buffer[4096];
        DWORD waiting = 0, n = 0;
        while (errors && PeekNamedPipe(errors, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0 &&
               ReadFile(errors, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            std::lock_guard<std::mutex> lock(mutex);
            tail.append(buffer, n);
            if (tail.size() > 2 * error_tail_size)
                tail.erase(0, tail.size() - error_tail_size);
        }
    }
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
    if (d->errors)
        CloseHandle(d->errors);
}

bool job_process::start(const job_command& job) {
    // Everything the job starts stays in one job object, so that stop and Kivo's end reach it all.
    d->job = CreateJobObjectA(nullptr, nullptr);
    if (d->job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(d->job, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    // The converter's error output comes through a pipe, read while it runs (the console window
    // stays, minimised, for a converter that asks for keys).
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE error_write = nullptr;
    if (!CreatePipe(&d->errors, &error_write, &inherit, 0))
        d->errors = error_write = nullptr;
    else
        SetHandleInformation(d->errors, HANDLE_FLAG_INHERIT, 0);
    const HANDLE in = null_device(GENERIC_READ), out = null_device(GENERIC_WRITE);
    STARTUPINFOW startup = job_startup_info();
    if (error_write) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = error_write;
    }
    PROCESS_INFORMATION process{};
    // Quoted: an unquoted path with blanks could start C:\Program.exe.
    const std::wstring command = L'"' + wide(job.script) + L'"';
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0'); // CreateProcessW may write into its command line
    const bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                        NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
    for (HANDLE h : {in, out, error_write})
        if (h && h != INVALID_HANDLE_VALUE)
            CloseHandle(h); // the child has its own; the pipe ends when the job's last writer goes
    if (!started)
        return false;
    if (d->job)
        AssignProcessToJobObject(d->job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    d->process = process.hProcess;
    d->pid = process.dwProcessId;
    d->waiter = std::thread([this] {
        // The pipe is emptied as the job runs, so that a converter never blocks on a full pipe.
        while (WaitForSingleObject(d->process, 20) == WAIT_TIMEOUT)
            d->read_errors();
        DWORD code = 0;
        d->code = GetExitCodeProcess(d->process, &code) ? code : static_cast<DWORD>(-1);
        if (d->job)
            TerminateJobObject(d->job, 1); // whatever the job left ends with it
        d->read_errors();
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
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->tail.size() > error_tail_size ? d->tail.substr(d->tail.size() - error_tail_size) : d->tail;
}

} // namespace platform
