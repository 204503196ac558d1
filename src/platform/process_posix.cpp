#include "platform/process.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

int run_process(const char* application, const std::string& command_line) {
    const char* shell = application ? application : "/bin/sh";
    const char* argv[] = {shell, "-c", command_line.c_str(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, shell, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

} // namespace platform
