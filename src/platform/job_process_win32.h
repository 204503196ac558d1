#pragma once
// The start-up block a job's child receives on Windows, shown to the tests.

#include <windows.h>

namespace platform {

// Minimised, without focus: the converter's console stays out of the user's way.
STARTUPINFOW job_startup_info();

} // namespace platform
