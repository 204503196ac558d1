#pragma once
// Fake converters for end-to-end tests, and the engine set up around a temporary application directory.

#include "fake_main_window.h"
#include "platform/job_process.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo_test {

// A converter that records its arguments (one a line, in NAME.args) and, when it has none, its
// standard input (NAME.stdin) in the application directory, prints `output`, and exits with `exit_code`.
void write_recording_converter(const std::string& app_dir, const std::string& name, const std::string& output = "",
                               int exit_code = 0);
// A converter that records as the one above, writes its process id into `pid_file` (where one is
// named), waits `wait_ms` milliseconds (-1: for ever), then prints `output`.
void write_waiting_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                             int wait_ms, const std::string& pid_file = "");
// A script converter with the given body: a shell script on POSIX, a batch file on Windows (for the
// few bodies both read alike: `exit 0`, `echo WORD`).
void write_converter(const std::string& app_dir, const std::string& name, const std::string& body);

// A job that runs this script as the job's converter (POSIX: through /bin/sh; Windows: through cmd).
platform::job_command script_job(const std::string& script);

// The peak resident memory of this process so far, in KB (POSIX only); -1 under sanitizers, whose
// shadow memory would swamp what a test measures.
long peak_rss_kb();

// Whether the process whose id is in `pid_file` has ended, waiting a moment for a kill to land. A
// zombie counts as ended: its reaper (maybe a PID 1 that never reaps) is not Kivo.
bool process_ended(const std::string& pid_file);

// The engine pointed at a fresh application directory and a fake window.
class engine_test : public ::testing::Test {
protected:
    engine_test();
    ~engine_test() override;

    temp_dir root;
    std::string app;  // root/app
    std::string data; // root/data
    fake_main_window window;

    void pair(int source, int target); // selects the options and the module's pair
    // A file in root/data with this content; its full path.
    std::string input(const std::string& name, const std::string& content = "data\n");
    // One batch over these files, in this order.
    void run(const std::vector<std::string>& inputs);
    // Single-file mode into this file.
    void single_file(const std::string& path);
    std::string args_of(const std::string& converter) const;
    // The conversion log's lines, without their line ends.
    std::vector<std::string> logged() const;
    std::string stdin_of(const std::string& converter) const;
};

} // namespace kivo_test
