#pragma once
// Runs one command line as a child process and waits for it without limit.

#include <string>

namespace platform {

// The child's exit code (128 + n for a signal on POSIX), or -1 when it could not be started.
// On POSIX `application` is the shell that gets `-c command_line` (null: /bin/sh).
int run_process(const char* application, const std::string& command_line);

} // namespace platform
