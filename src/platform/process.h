#pragma once
// Runs a job script as one child whose end is reported from a waiting thread, so that the caller can
// keep its window alive meanwhile; stop ends the child and everything it started.

#include <functional>
#include <memory>
#include <string>

namespace platform {

class job_process {
public:
    // `on_end` runs on the waiting thread once the child has ended; it should only wake the caller.
    explicit job_process(std::function<void()> on_end);
    ~job_process(); // a child still running is stopped and waited for
    job_process(const job_process&) = delete;
    job_process& operator=(const job_process&) = delete;

    // Starts the command interpreter on the job script; false when no process could be created.
    bool start(const std::string& script_path);
    bool running() const;
    // Ends the child and what it started (POSIX: SIGTERM to its group, SIGKILL two seconds later;
    // Windows: the whole job object). Returns at once; running() turns false when it is over.
    void stop();
    // Once running() is false: the exit code (128 + n for a signal on POSIX).
    int exit_code() const;
    // The end of what the child wrote to its standard error: at most 4 KB, empty where not captured.
    std::string error_tail() const;

    struct impl;

private:
    std::unique_ptr<impl> d;
};

} // namespace platform
