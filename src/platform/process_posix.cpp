#include "platform/process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {

namespace {

using clock = std::chrono::steady_clock;
constexpr auto grace = std::chrono::seconds(2);
constexpr off_t error_tail_size = 4096;

// An unnamed file for the child's standard error: it never blocks the child the way a full pipe would.
int error_capture_file() {
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/kivo-stderr-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.c_str());
    return fd;
}

bool group_alive(pid_t group) {
    return ::kill(-group, 0) == 0;
}

} // namespace

struct job_process::impl {
    std::function<void()> on_end;
    pid_t pid = -1;
    int error_fd = -1;
    std::mutex mutex;
    std::condition_variable ended;
    std::atomic<bool> done{false};
    bool stopping = false;
    clock::time_point kill_at;
    int status = 0;
    std::thread waiter, killer;

    void wait_for_child() {
        int st = 0;
        while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
        }
        if (stop_requested())
            finish_group();
        {
            std::lock_guard<std::mutex> lock(mutex);
            status = st;
            done = true;
        }
        ended.notify_all();
        on_end();
    }

    bool stop_requested() {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    // What the shell started may outlive it: give it the rest of the grace time, then kill it.
    void finish_group() {
        while (group_alive(pid) && clock::now() < kill_at)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (group_alive(pid))
            ::kill(-pid, SIGKILL);
    }

    void kill_after_grace() {
        std::unique_lock<std::mutex> lock(mutex);
        if (!ended.wait_until(lock, kill_at, [this] { return done.load(); }))
            ::kill(-pid, SIGKILL);
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
    if (d->killer.joinable())
        d->killer.join();
    if (d->error_fd >= 0)
        ::close(d->error_fd);
}

bool job_process::start(const std::string& script_path) {
    d->error_fd = error_capture_file();
    posix_spawn_file_actions_t files;
    ::posix_spawn_file_actions_init(&files);
    // No keyboard: a converter that asks for input ends instead of waiting for ever.
    ::posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    if (d->error_fd >= 0)
        ::posix_spawn_file_actions_adddup2(&files, d->error_fd, 2);
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    // Its own process group, so that stop reaches everything the job started.
    ::posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP})
        sigaddset(&defaults, sig);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // The shell reads the script itself: one child, and no execute bit needed.
    const char* argv[] = {"/bin/sh", script_path.c_str(), nullptr};
    const int rc = ::posix_spawn(&d->pid, "/bin/sh", &files, &attributes, const_cast<char* const*>(argv), environ);
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&files);
    if (rc != 0)
        return false;
    d->waiter = std::thread([this] { d->wait_for_child(); });
    return true;
}

bool job_process::running() const {
    return d->waiter.joinable() && !d->done;
}

void job_process::stop() {
    std::lock_guard<std::mutex> lock(d->mutex);
    if (d->done || d->stopping || d->pid <= 0)
        return;
    d->stopping = true;
    d->kill_at = clock::now() + grace;
    ::kill(-d->pid, SIGTERM);
    ::kill(-d->pid, SIGCONT); // a stopped job cannot act on SIGTERM
    d->killer = std::thread([this] { d->kill_after_grace(); });
}

int job_process::exit_code() const {
    if (WIFEXITED(d->status))
        return WEXITSTATUS(d->status);
    return WIFSIGNALED(d->status) ? 128 + WTERMSIG(d->status) : -1;
}

std::string job_process::error_tail() const {
    struct stat st {};
    if (d->error_fd < 0 || ::fstat(d->error_fd, &st) != 0)
        return {};
    const off_t from = std::max<off_t>(0, st.st_size - error_tail_size);
    std::string tail(static_cast<std::size_t>(st.st_size - from), '\0');
    const ssize_t got = ::pread(d->error_fd, tail.data(), tail.size(), from);
    tail.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return tail;
}

} // namespace platform
