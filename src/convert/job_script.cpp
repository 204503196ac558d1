#include "convert/job_script.h"

namespace mod_convert {
namespace {

// The interpreter reads the script in the console's code page: beyond ASCII a name could change.
bool unsafe_for_cmd(const std::string& path) {
    for (char c : path)
        if (c == '"' || c == '\r' || c == '\n' || static_cast<unsigned char>(c) >= 0x80)
            return true;
    return false;
}

std::string quote_for_cmd(const std::string& path, bool always) {
    if (unsafe_for_cmd(path))
        throw unsafe_name("the name cannot be passed to the command interpreter");
    std::string escaped;
    for (char c : path)
        escaped += (c == '%') ? std::string("%%") : std::string(1, c); // batch files expand % even inside quotes
    const bool needs_quotes = always || path.find_first_of(" &|<>^(),;=") != std::string::npos;
    return needs_quotes ? '"' + escaped + '"' : escaped;
}

std::string quote_for_sh(const std::string& path) {
    std::string quoted = "'";
    for (char c : path)
        quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

std::string quote_path(shell_dialect dialect, const std::string& path, bool always) {
    return dialect == shell_dialect::windows_cmd ? quote_for_cmd(path, always) : quote_for_sh(path);
}

std::string redirection(shell_dialect dialect, const std::string& output_path) {
    return output_path.empty() ? std::string() : " > " + quote_path(dialect, output_path, true);
}

std::string job_line(shell_dialect dialect, const std::string& program, const std::string& flags,
                     const std::string& input, const std::string& output_target) {
    return quote_path(dialect, program) + flags + " " + quote_path(dialect, input) + output_target;
}

std::vector<std::string> job_script_lines(shell_dialect dialect, const std::string& job_line) {
    return {dialect == shell_dialect::windows_cmd ? "@echo off" : "#!/bin/sh", job_line};
}

std::string job_script_name(shell_dialect dialect) {
    return dialect == shell_dialect::windows_cmd ? "kivotemp.bat" : "kivotemp.sh";
}

} // namespace mod_convert
