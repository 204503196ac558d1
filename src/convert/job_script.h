#pragma once
// The job script: its two lines and its file name, for either command interpreter. Every path is quoted so that no file
// name can become a command.

#include "platform/conventions.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace mod_convert {

using platform::shell_dialect;

// A name that this interpreter cannot be given safely (under cmd: a line break, a quote, or a byte
// beyond ASCII, which the console code page could change).
class unsafe_name : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// cmd: double quotes when `always` or when the path needs them, and every % doubled.
// sh: always single quotes.
std::string quote_path(shell_dialect dialect, const std::string& path, bool always = false);

// " > " and the quoted path, or nothing for an empty path (converters that write their own file).
std::string redirection(shell_dialect dialect, const std::string& output_path);

// program: the converter's path; flags: as converter_command gives them (each with its blank).
std::string job_line(shell_dialect dialect, const std::string& program, const std::string& flags,
                     const std::string& input, const std::string& output_target);

std::vector<std::string> job_script_lines(shell_dialect dialect, const std::string& job_line);
std::string job_script_name(shell_dialect dialect);

} // namespace mod_convert
