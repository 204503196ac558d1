#include "convert/path_checks.h"

#include "convert/formats.h"
#include "convert/job_script.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "util/mod_utils_dsw.h"

#include <vector>

namespace mod_convert {

using namespace mod_utils_dsw;
using platform::path_kind;

namespace {

std::vector<std::string> own_file_names() {
    std::vector<std::string> names = {job_script_name(platform::native_dialect()), "kivotemp.tmp",
                                      state().exe_base_name + ".log"};
    std::vector<std::string> programs = companion_converters();
    programs.push_back(state().exe_base_name);
    for (std::int32_t source = 0; source < format_count; ++source)
        for (std::int32_t target : offered_targets(source))
            programs.push_back(converter_command(source, target, false));
    for (const auto& program : programs)
        for (const auto& file : platform::program_file_names(program))
            names.push_back(file);
    return names;
}

bool own_file(const std::string& path) {
    const std::string dir = dir_part(path);
    if (!same_file(dir, state().app_dir) && !same_file(dir, state().user_job_dir))
        return false;
    const std::string name = file_name_part(path);
    for (const auto& own : own_file_names())
        if (equals_ignoring_case(name, own))
            return true;
    return false;
}

} // namespace

std::string input_problem(const std::string& input) {
    const auto info = platform::inspect_path(input, true);
    switch (info.kind) {
    case path_kind::missing:
        return "file not found";
    case path_kind::regular:
        return info.known_readable || platform::readable_file(input) ? "" : "cannot read the input";
    case path_kind::too_long:
    case path_kind::error:
        return info.reason;
    default:
        return "not a regular file";
    }
}

std::string output_problem(const std::string& output) {
    return output_problem(platform::inspect_path(output, false));
}

std::string output_problem(const platform::path_info& info) {
    switch (info.kind) {
    case path_kind::missing:
    case path_kind::regular:
        return {};
    case path_kind::too_long:
        return "output name too long";
    case path_kind::error:
        return info.reason;
    default:
        return "the output is a link or a special file";
    }
}

std::string converter_problem(const std::string& converter) {
    switch (platform::program_status(with_trailing_backslash(state().app_dir), converter)) {
    case platform::program_state::present:
        return {};
    case platform::program_state::missing:
        return "converter " + converter + " is missing";
    default:
        return "converter " + converter + " cannot be run";
    }
}

std::string single_output_problem(const std::string& path) {
    return own_file(path) ? own_file_reason : output_problem(path);
}

} // namespace mod_convert
