#include "convert/convert_file.h"

#include "convert/exec_cmd.h"
#include "convert/formats.h"
#include "convert/guard.h"
#include "convert/job.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "platform/native.h"
#include "platform/short_path.h"
#include "platform/text_file.h"
#include "util/mod_utils_dsw.h"

#include <cctype>
#include <limits>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

void refuse(const std::string& problem) {
    if (!problem.empty())
        throw conversion_error(problem);
}

const job_plan& plan_of(batch& b) {
    if (!b.plan) {
        const std::string name = converter_command(false);
        b.plan = job_plan{name, with_trailing_backslash(short_folder_path(state().app_dir)) + name,
                          converter_command(true).substr(name.size()), extension_part(b.choices.txt_to_filename)};
    }
    return *b.plan;
}

// The input path with its file name's extension replaced; a dot in a directory name is not cut.
std::string per_file_output(const batch& b, const std::string& input) {
    const std::string name = file_name_part(input);
    const std::string base = name.find('.') == std::string::npos ? input : dir_part(input) + strip_extension(name);
    return base + "." + extension_part(b.choices.txt_to_filename);
}

// In single-file mode a name becomes a record's first field.
bool breaks_records(const std::string& name) {
    return name.find_first_of("\t\r\n") != std::string::npos;
}

// An output is written by one file of a batch only; a later file that would replace it fails.
void claim_output(batch& b, const std::string& output, const std::string& input) {
    const auto [it, fresh] = b.outputs.emplace(platform::path_key(output), input);
    if (!fresh)
        throw conversion_error("same output as " + file_name_part(it->second));
}

void check_output(const std::string& output, const std::string& input) {
    refuse(output_problem(output));
    if (same_file(output, input))
        throw conversion_error("output would overwrite the input");
}

std::string exit_reason(const mod_ExecCmd::exec_result& result) {
    std::string reason = "converter exit code " + std::to_string(result.exit_code);
    std::string tail = result.error_tail;
    while (!tail.empty() && std::isspace(static_cast<unsigned char>(tail.back())))
        tail.pop_back();
    const auto line_start = tail.find_last_of("\r\n");
    const std::string last = line_start == std::string::npos ? tail : tail.substr(line_start + 1);
    return last.empty() ? reason : reason + ": " + last;
}

} // namespace

std::string job_script_path(const batch& b) {
    return with_trailing_backslash(b.job_dir) + job_script_name(platform::native_dialect());
}
std::string scratch_output_path(const batch& b) {
    return with_trailing_backslash(b.job_dir) + "kivotemp.tmp";
}

std::string output_path(const batch& b, const std::string& input) {
    return b.choices.opt_to_one ? state().single_output_file : per_file_output(b, input);
}

std::string output_target(const batch& b, const std::string& input) {
    if (writes_own_output(state().source_format))
        return {};
    const std::string target = b.choices.opt_to_one ? scratch_output_path(b) : per_file_output(b, input);
    return redirection(platform::native_dialect(), platform::interpreter_output_path(target));
}

void convert_file(batch& b, const std::string& input) {
    b.window.set_lbl_currpath("File: " + input);
    const job_plan& plan = plan_of(b);
    refuse(converter_problem(plan.converter));
    refuse(input_problem(input));
    const bool single = b.choices.opt_to_one;
    if (single && breaks_records(file_name_part(input)))
        throw conversion_error("its name holds a tab or a line break");
    const std::string output = output_path(b, input);
    check_output(output, input);
    if (single)
        refuse(output_problem(scratch_output_path(b)));
    const auto dialect = platform::native_dialect();
    const std::string line =
        job_line(dialect, plan.program, plan.flags, short_file_path(input), output_target(b, input));
    if (!single)
        claim_output(b, output, input);
    const bool output_existed = platform::inspect_path(output, false).kind != platform::path_kind::missing;

    try {
        platform::write_text_lines(job_script_path(b), job_script_lines(dialect, line));
    } catch (const std::exception&) {
        throw conversion_error("cannot write the job script");
    }
    if (single)
        delete_if_exists(scratch_output_path(b)); // a job that does not run must leave nothing to copy

    const auto result = mod_ExecCmd::ExecCmd(b.window, job_script_path(b));
    if (result.stopped) {
        // Half written: a redirected output was emptied when the job began; a new one is incomplete.
        if (!single && (!output_existed || !writes_own_output(state().source_format)))
            remove_file(output);
        throw batch_stopped();
    }
    if (!result.started)
        throw conversion_error("the job could not be started");
    if (single) {
        if (!platform::plain_file_exists(scratch_output_path(b)))
            throw conversion_error("the converter left no output");
        append_scratch_output(state().single_output_file, scratch_output_path(b), input);
    }
    count_processed_file(b.window);
    if (result.exit_code != 0)
        record_failure(b, input, exit_reason(result));
}

void append_scratch_output(const std::string& single_output, const std::string& scratch, const std::string& input) {
    const std::string prefix = file_name_part(input) + "\t";
    platform::text_appender out(single_output);
    platform::read_text_lines(scratch, [&](const std::string& line) { out.write_line(prefix + line); });
    out.close();
}

void count_processed_file(main_window& window) {
    auto& s = state();
    if (s.files_processed == std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error("too many files");
    ++s.files_processed;
    window.set_lbl_nfiles("Files processed: " + std::to_string(s.files_processed));
}

} // namespace mod_convert
