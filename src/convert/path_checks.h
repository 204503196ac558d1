#pragma once
// What a job must not be given or write through: inputs that are not regular files, outputs that are
// links or special files, Kivo's own files as the single output file, a converter that cannot run.
// Each check gives the reason a file fails, or an empty string when all is well.

#include "platform/file_lookup.h"

#include <string>

namespace mod_convert {

std::string input_problem(const std::string& input);
std::string output_problem(const std::string& output);
std::string output_problem(const platform::path_info& what_lies_there);
std::string converter_problem(const std::string& converter);
// A job script, scratch output, log or converter in the application directory, or a link.
std::string single_output_problem(const std::string& path);
// single_output_problem's reason for one of Kivo's own files.
constexpr const char* own_file_reason = "a file Kivo uses";

} // namespace mod_convert
