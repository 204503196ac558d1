#pragma once
// Runs one conversion job as a child whose end is reported from a waiting thread, so that the caller
// can keep its window alive meanwhile; stop ends the child and everything it started.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// One job. Windows runs the job script through the command interpreter; POSIX starts the
// converter itself with the script's arguments and hands it open files, so that no name is
// looked up between Kivo's checks and the converter's start.
struct job_command {
    std::string script;
    std::string program;                  // POSIX: the converter's path
    std::vector<std::string> args;        // POSIX: its arguments, as the script's shell would pass them
    std::intptr_t input = -1;             // POSIX: its standard input (-1: none at all, /dev/null)
    std::intptr_t output = -1;            // POSIX: its standard output (-1: /dev/null)
    std::vector<std::string> environment; // POSIX: NAME=VALUE added to Kivo's own for the converter
};

class job_process {
public:
    // `on_end` runs on the waiting thread once the child has ended; it should only wake the caller.
    explicit job_process(std::function<void()> on_end);
    ~job_process(); // a child still running is stopped and waited for
    job_process(const job_process&) = delete;
    job_process& operator=(const job_process&) = delete;

    // False when no process could be created.
    bool start(const job_command& job);
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
