#pragma once
// Converting one file: the job script written, run and waited for, the output placed.

#include "convert/batch.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace mod_convert {

// One file's conversion failed; the message says why, without the file's name.
class conversion_error : public std::runtime_error {
public:
    explicit conversion_error(const std::string& reason, std::string error_output = {})
        : std::runtime_error(reason), error_output_(std::move(error_output)) {}
    // What the converter wrote to its standard error, where it ran.
    const std::string& error_output() const { return error_output_; }

private:
    std::string error_output_;
};

// A file Kivo does not hand to its converter: skipped rather than failed.
class refusal : public conversion_error {
public:
    using conversion_error::conversion_error;
};

// In the batch's job directory: the application directory, or the per-user place when that is read-only.
std::string job_script_path(const batch& b);
std::string scratch_output_path(const batch& b);

// The file this input's conversion writes: the per-file output beside it (also the one that the
// pic, pcx, wve and wav converters choose themselves), or the single output file.
std::string output_path(const batch& b, const std::string& input);
// The job line's redirection: to the per-file output or the scratch output; nothing for converters
// that write their own output file.
std::string output_target(const batch& b, const std::string& input);

// Returns what the converter wrote to its standard error: its warnings, since it succeeded.
std::string convert_file(batch& b, const std::string& input);
// The scratch output's lines appended to the single output file, prefixed with the input's name; on
// failure or stop (raised as batch_stopped) the single output file keeps what it held before.
void append_scratch_output(batch& b, const std::string& input);

} // namespace mod_convert
