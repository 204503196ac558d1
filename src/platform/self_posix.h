#pragma once
// Kivo's own process, as the POSIX layer needs it.

#include <sys/types.h>

namespace platform {

// Kivo's process id, asked of the system once (and again in a forked child).
pid_t self_pid();

} // namespace platform
