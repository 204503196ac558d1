#pragma once
// Converting one file: the job script written, run and waited for, the output placed.

#include <stdexcept>
#include <string>

namespace mod_convert {

// One file's conversion failed; the message says why, without the file's name.
class conversion_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string job_script_path();
std::string scratch_output_path();

// Where the converter's standard output goes for this input; empty for converters that write
// their own output file.
std::string output_path(const std::string& input);
std::string output_target(const std::string& input);

void convert_file(const std::string& input);
void append_scratch_output(const std::string& single_output, const std::string& scratch, const std::string& input);
void count_processed_file();

} // namespace mod_convert
