#pragma once
// Converting one file: the job script written, run and waited for, the output put in place. The
// file's end is reported (its warnings returned, or an outcome raised: outcomes.h); the batch
// records it.

#include "convert/main_window.h"
#include "convert/outcomes.h"

#include <functional>
#include <map>
#include <string>

namespace mod_convert {

// What stays the same for every file of a batch.
struct job_plan {
    std::string converter;         // its name
    std::string program;           // its path, in the application directory's short form
    std::string flags;             // each with its blank
    std::string output_ext;        // from the output box
    std::string converter_problem; // why it cannot run, looked at once a batch; empty when it can
};
job_plan make_job_plan(const batch_choices& choices);

// The outputs a batch has written: output (path_key) -> the input that wrote it.
using output_claims = std::map<std::string, std::string>;

// What converting one file needs of its batch.
struct file_job_context {
    main_window& window; // the current file, and the window's events while the job runs
    const batch_choices& choices;
    const job_plan& plan;
    std::string job_dir; // where the job script and the scratch output go
    output_claims& claims;
    // A long step lets the window's events run; raises batch_stopped once the user asked to stop.
    std::function<void()> keep_alive;
};

// In the batch's job directory: the application directory, or the per-user place.
std::string job_script_path(const std::string& job_dir);
std::string scratch_output_path(const std::string& job_dir);

// The file this input's conversion writes: the per-file output beside it (also the one that the
// pic, pcx, wve and wav converters choose themselves), or the single output file.
std::string output_path(const batch_choices& choices, const std::string& input);
// The job line's redirection: to the per-file output or the scratch output; nothing for converters
// that write their own output file.
std::string output_target(const batch_choices& choices, const std::string& job_dir, const std::string& input);

// Returns what the converter wrote to its standard error: its warnings, since it succeeded.
std::string convert_file(file_job_context& job, const std::string& input);
// The scratch output's lines appended to the single output file, prefixed with the input's name; on
// failure or stop the single output file keeps what it held before. Raises platform::os_error.
void append_scratch_output(file_job_context& job, const std::string& input);

} // namespace mod_convert
