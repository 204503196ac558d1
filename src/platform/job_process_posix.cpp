#include "platform/job_process.h"

#include "platform/self_posix.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sched.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

using clock = std::chrono::steady_clock;
#ifdef KIVO_SANITIZED
constexpr bool child_shares_memory = false; // the sanitizers cannot follow a child on a stack of its own
#else
constexpr bool child_shares_memory = true; // posix_spawn's way: no copy of Kivo's page tables
#endif
constexpr auto grace = std::chrono::seconds(2);
constexpr std::size_t error_tail_size = 4096;

bool group_alive(pid_t group) {
    return ::kill(-group, 0) == 0;
}

// Kivo's children: its own jobs, and, while it is a subreaper, whatever a job's processes left
// behind when they ended (a daemon that called setsid included).
std::vector<pid_t> children_of_kivo() {
    std::vector<pid_t> children;
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks)
        return children;
    while (const dirent* task = ::readdir(tasks)) {
        if (task->d_name[0] == '.')
            continue;
        const std::string path = std::string("/proc/self/task/") + task->d_name + "/children";
        if (FILE* f = std::fopen(path.c_str(), "re")) {
            for (int child = 0; std::fscanf(f, "%d", &child) == 1;)
                children.push_back(child);
            std::fclose(f);
        }
    }
    ::closedir(tasks);
    return children;
}

std::string proc_file(pid_t pid, const char* name) {
    std::string text;
    if (FILE* f = std::fopen(("/proc/" + std::to_string(pid) + "/" + name).c_str(), "re")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

// When a process started, in clock ticks since boot (field 22 of its stat line); 0 when unknown.
unsigned long long start_ticks(const std::string& stat) {
    const auto after_name = stat.rfind(')');
    if (after_name == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(after_name + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    return std::strtoull(field.c_str(), nullptr, 10);
}

// A process of the job: in its process group (also once ended), carrying its mark in its
// environment, or started since the job did: only the job's processes come back to Kivo as their
// reaper, whatever they did to their group, session or environment.
bool of_the_job(pid_t child, pid_t group, const std::string& mark, unsigned long long job_started) {
    const std::string stat = proc_file(child, "stat");
    const auto after_name = stat.rfind(')');
    int parent = 0, pgrp = 0;
    char state = 0;
    if (after_name != std::string::npos &&
        std::sscanf(stat.c_str() + after_name + 1, " %c %d %d", &state, &parent, &pgrp) == 3 && pgrp == group)
        return true;
    if (job_started > 0 && start_ticks(stat) >= job_started)
        return true;
    const std::string environment = proc_file(child, "environ");
    return environment.find(mark + '\0') != std::string::npos || environment.rfind(mark, 0) == 0;
}

// Everything the job started ends with it, wherever it went: each is killed and reaped; what it
// started in turn comes back to Kivo as it dies, and goes the same way.
void end_what_the_job_left(pid_t group, const std::string& mark, unsigned long long job_started) {
    for (int round = 0; round < 1000; ++round) {
        bool any = false;
        for (pid_t child : children_of_kivo()) {
            if (!of_the_job(child, group, mark, job_started))
                continue;
            any = true;
            ::kill(child, SIGKILL);
            while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        if (!any)
            return;
    }
}

// Where the pid cannot be waited for by descriptor (an old kernel), the waiter polls instead.
int open_pidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

// Everything the child needs, made before it starts. It shares Kivo's memory until it execs (as
// posix_spawn's child does, without copying Kivo's page tables): it makes system calls only.
struct exec_plan {
    std::vector<std::string> strings, environment;
    std::vector<char*> argv, sh_argv; // sh_argv: a converter script without #! line, as sh would run it
    std::vector<char*> envp;
    int in = -1, out = -1, err = -1;
    int report = -1;    // where the child reports a failed exec, when it has a memory of its own
    int exec_error = 0; // where it does when it shares Kivo's memory until it execs
    pid_t parent = 0;

    explicit exec_plan(const job_command& job) : strings(job.args), environment(job.environment) {
        strings.insert(strings.begin(), job.program);
        strings.insert(strings.begin(), "/bin/sh");
        for (auto& s : strings)
            sh_argv.push_back(s.data());
        sh_argv.push_back(nullptr);
        argv.assign(sh_argv.begin() + 1, sh_argv.end());
        // Kivo's environment, where the job's own entries replace those of the same names.
        const auto named = [this](const char* entry) {
            return std::any_of(environment.begin(), environment.end(), [entry](const std::string& own) {
                const auto name = own.substr(0, own.find('=') + 1);
                return std::strncmp(entry, name.c_str(), name.size()) == 0;
            });
        };
        for (char** e = environ; *e; ++e)
            if (!named(*e))
                envp.push_back(*e);
        for (auto& own : environment)
            envp.push_back(own.data());
        envp.push_back(nullptr);
    }

    [[noreturn]] void run_child() {
        // No handler of Kivo's may run here: every caught signal goes back to its default first.
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction now {};
            if (::sigaction(sig, nullptr, &now) == 0 && now.sa_handler != SIG_DFL && now.sa_handler != SIG_IGN)
                ::sigaction(sig, &dfl, nullptr);
        }
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM); // the converter does not outlive Kivo, and may clean up
        if (::getppid() != parent)
            ::_exit(128 + SIGKILL);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGQUIT, SIGHUP, SIGXFSZ})
            ::sigaction(sig, &dfl, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr); // the mask Kivo blocked everything with
        ::execve(argv[0], argv.data(), envp.data());
        if (errno == ENOEXEC)
            ::execve(sh_argv[0], sh_argv.data(), envp.data());
        const int error = errno;
        if (report >= 0)
            (void)!::write(report, &error, sizeof error);
        else
            exec_error = error;
        ::_exit(error == ENOENT ? 127 : 126);
    }
};

struct fd_pair {
    int read = -1, write = -1;
    explicit fd_pair(bool wanted = true) {
        int fds[2];
        if (wanted && ::pipe2(fds, O_CLOEXEC) == 0) {
            read = fds[0];
            write = fds[1];
        }
    }
    ~fd_pair() {
        close_read();
        close_write();
    }
    void close_read() {
        if (read >= 0)
            ::close(read);
        read = -1;
    }
    void close_write() {
        if (write >= 0)
            ::close(write);
        write = -1;
    }
};

// Opened once for Kivo's life: every job without an input or an output gets it.
int dev_null(int flags) {
    static const int reading = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    static const int writing = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    return flags == O_RDONLY ? reading : writing;
}

int child_main(void* plan) {
    static_cast<exec_plan*>(plan)->run_child();
}

// The child runs on a stack of its own; Kivo waits (CLONE_VFORK) until it has exec'd or failed.
pid_t spawn(exec_plan& plan) {
    static thread_local std::vector<char> stack(256 * 1024);
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old); // nothing reaches the child before it resets handlers
    pid_t pid = -1;
    if (child_shares_memory) {
        pid = ::clone(child_main, stack.data() + stack.size(), CLONE_VM | CLONE_VFORK | SIGCHLD, &plan);
    } else if ((pid = ::fork()) == 0) {
        child_main(&plan);
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return pid;
}

// One thread for Kivo's life waits for each job in turn, so that no thread starts for a job; a job
// that comes while it waits for another gets a thread of its own.
class job_waiter {
public:
    static job_waiter& instance();
    // Runs `wait` on the waiting thread.
    void post(std::function<void()> wait);
    // A forked child has no waiting thread: it starts its own when it needs one.
    static void forget();

private:
    job_waiter() {
        std::thread([this] { run(); }).detach();
    }
    void run();
    std::mutex mutex_;
    std::condition_variable posted_;
    std::function<void()> next_;
    bool busy_ = false;
    static job_waiter* instance_;
};

job_waiter* job_waiter::instance_ = nullptr;

job_waiter& job_waiter::instance() {
    static std::once_flag at_fork;
    std::call_once(at_fork, [] { ::pthread_atfork(nullptr, nullptr, [] { forget(); }); });
    if (!instance_)
        instance_ = new job_waiter(); // for Kivo's life; its thread never ends
    return *instance_;
}

void job_waiter::forget() {
    instance_ = nullptr; // the parent's, whose thread is not in this process
}

void job_waiter::post(std::function<void()> wait) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!busy_ && !next_) {
            next_ = std::move(wait);
            posted_.notify_one();
            return;
        }
    }
    std::thread(std::move(wait)).detach();
}

void job_waiter::run() {
    for (;;) {
        std::function<void()> wait;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            posted_.wait(lock, [this] { return static_cast<bool>(next_); });
            wait = std::move(next_);
            next_ = nullptr;
            busy_ = true;
        }
        wait();
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
    }
}

} // namespace

pid_t self_pid() {
    static pid_t pid = 0;
    static std::once_flag at_fork;
    std::call_once(at_fork, [] { ::pthread_atfork(nullptr, nullptr, [] { pid = 0; }); });
    if (pid == 0)
        pid = ::getpid();
    return pid;
}

struct job_process::impl {
    std::function<void()> on_end;
    pid_t pid = -1;
    fd_pair errors; // the child's standard error: read as it comes, only its end kept
    std::mutex mutex;
    std::condition_variable ended;
    std::atomic<bool> done{false};
    bool posted = false;   // the waiting thread has it
    bool released = false; // the waiting thread is done with it
    bool stopping = false;
    clock::time_point kill_at;
    int status = 0;
    std::string tail;
    std::string mark;               // KIVO_JOB=..., in the environment of everything the job starts
    unsigned long long started = 0; // the converter's start, in the kernel's clock ticks
    std::thread killer;

    void keep(const char* data, std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex);
        tail.append(data, n);
        if (tail.size() > 2 * error_tail_size)
            tail.erase(0, tail.size() - error_tail_size);
    }

    ssize_t read_errors() {
        char buffer[16384];
        const ssize_t n = ::read(errors.read, buffer, sizeof buffer);
        if (n > 0)
            keep(buffer, static_cast<std::size_t>(n));
        return n;
    }

    // Reads the error pipe until the child has ended; the pipe alone cannot tell, since a child the
    // converter left behind may hold it open.
    void wait_for_child() {
        started = start_ticks(proc_file(pid, "stat")); // only this thread reaps it: still there
        const int pidfd = open_pidfd(pid);
        int st = 0;
        bool pipe_open = true;
        for (;;) {
            pollfd fds[2] = {{pipe_open ? errors.read : -1, POLLIN, 0}, {pidfd, POLLIN, 0}};
            const int ready = ::poll(fds, 2, pidfd >= 0 ? -1 : 10);
            if (ready < 0 && errno != EINTR)
                break;
            if (pipe_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
                const ssize_t n = read_errors();
                pipe_open = n > 0 || (n < 0 && errno == EINTR);
            }
            if (pidfd >= 0 ? (fds[1].revents & POLLIN) != 0 : ::waitpid(pid, &st, WNOHANG) == pid)
                break;
        }
        if (pidfd >= 0) {
            while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {
            }
            ::close(pidfd);
        }
        end_group();
        ::fcntl(errors.read, F_SETFL, O_NONBLOCK);
        while (pipe_open && read_errors() > 0) {
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            status = st;
            done = true;
        }
        ended.notify_all();
        on_end();
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        ended.notify_all();
    }

    bool stop_requested() {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }

    // Whatever the job left running ends with it: nothing writes into an output after the job.
    // After a stop it gets the rest of the grace time first.
    void end_group() {
        if (stop_requested())
            while (group_alive(pid) && clock::now() < kill_at)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::kill(-pid, SIGKILL);
        end_what_the_job_left(pid, mark, started);
        ::prctl(PR_SET_CHILD_SUBREAPER, 0); // a program the user opens from Kivo is not Kivo's to reap
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
    {
        std::unique_lock<std::mutex> lock(d->mutex);
        d->ended.wait(lock, [this] { return !d->posted || d->released; });
    }
    if (d->killer.joinable())
        d->killer.join();
}

bool job_process::start(const job_command& job) {
    static std::atomic<unsigned> jobs{0};
    d->mark = "KIVO_JOB=" + std::to_string(self_pid()) + "." + std::to_string(++jobs);
    job_command marked = job;
    marked.environment.push_back(d->mark);
    // What the job's processes leave behind when they end comes back to Kivo, not to init.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    exec_plan plan(marked);
    fd_pair report(!child_shares_memory);
    plan.in = job.input < 0 ? dev_null(O_RDONLY) : static_cast<int>(job.input);
    plan.out = job.output < 0 ? dev_null(O_WRONLY) : static_cast<int>(job.output);
    plan.err = d->errors.write;
    plan.report = report.write;
    plan.parent = self_pid();
    const bool ready = plan.in >= 0 && plan.out >= 0 && plan.err >= 0 && (child_shares_memory || plan.report >= 0);
    d->pid = ready ? spawn(plan) : -1;
    d->errors.close_write();
    report.close_write();
    if (d->pid < 0)
        return false;
    if (!child_shares_memory) {
        ::setpgid(d->pid, d->pid); // also here, so that a stop right away reaches the group
        if (::read(report.read, &plan.exec_error, sizeof plan.exec_error) != sizeof plan.exec_error)
            plan.exec_error = 0;
    } // else Kivo went on only once the child had exec'd, in its own group, or failed
    if (plan.exec_error != 0) {
        const std::string why = "cannot run " + job.program + ": " + std::strerror(plan.exec_error) + "\n";
        d->keep(why.data(), why.size());
    }
    d->posted = true;
    job_waiter::instance().post([impl = d.get()] { impl->wait_for_child(); });
    return true;
}

bool job_process::running() const {
    return d->posted && !d->done;
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
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->tail.size() > error_tail_size ? d->tail.substr(d->tail.size() - error_tail_size) : d->tail;
}

} // namespace platform
