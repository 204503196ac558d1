// measure IN OUT ERR PROGRAM [ARGS...]: runs PROGRAM with standard input IN, output OUT and error
// output ERR within 5 seconds, then prints its exit code (128 + n for a signal, -1 for a hang), its
// time on the processor and its peak memory in KB. A small program of its own, so that the peak is
// the converter's, not that of the test that forked it.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc < 5)
        return 2;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(::open(argv[1], O_RDONLY), 0);
        ::dup2(::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        ::dup2(::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::execv(argv[4], argv + 4);
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            std::printf("-1 0 0\n");
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%d %f %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), cpu, usage.ru_maxrss);
    return 0;
}
