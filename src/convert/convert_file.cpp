#include "convert/convert_file.h"

#include "convert/batch.h"
#include "convert/exec_cmd.h"
#include "convert/formats.h"
#include "convert/job.h"
#include "convert/main_window.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "platform/text_file.h"
#include "util/mod_utils_dsw.h"

#include <limits>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

bool single_file_mode() {
    return state().window->opt_to_one();
}

// The input path with its file name's extension replaced; a dot in a directory name is not cut.
std::string per_file_output(const std::string& input) {
    const std::string name = file_name_part(input);
    const std::string base = name.find('.') == std::string::npos ? input : dir_part(input) + strip_extension(name);
    return base + "." + extension_part(state().window->txt_to_filename());
}

void refuse_overwrite(const std::string& output, const std::string& input) {
    if (!output.empty() && same_file(output, input))
        throw conversion_error("output would overwrite the input");
}

std::string app_file(const std::string& name) {
    return with_trailing_backslash(state().app_dir) + name;
}

} // namespace

std::string job_script_path() {
    return app_file(job_script_name(platform::native_dialect()));
}
std::string scratch_output_path() {
    return app_file("kivotemp.tmp");
}

std::string output_path(const std::string& input) {
    if (writes_own_output(state().source_format))
        return {};
    return single_file_mode() ? scratch_output_path() : per_file_output(input);
}

std::string output_target(const std::string& input) {
    return redirection(platform::native_dialect(), output_path(input));
}

void convert_file(const std::string& input) {
    auto& s = state();
    s.window->set_lbl_currpath("File: " + input);
    s.window->refresh();

    const auto dialect = platform::native_dialect();
    const std::string name = converter_command(false);
    const std::string program = with_trailing_backslash(short_folder_path(s.app_dir)) + name;
    const std::string flags = converter_command(true).substr(name.size());
    const std::string output = output_path(input);
    const std::string line = job_line(dialect, program, flags, short_file_path(input), redirection(dialect, output));

    const bool single = single_file_mode();
    refuse_overwrite(output, input);
    if (single)
        refuse_overwrite(s.single_output_file, input);

    try {
        platform::write_text_lines(job_script_path(), job_script_lines(dialect, line));
    } catch (const std::exception&) {
        throw conversion_error("cannot write the job script");
    }
    if (single)
        delete_if_exists(scratch_output_path()); // a job that does not run must leave nothing to copy

    const std::int32_t code = mod_ExecCmd::ExecCmd(nullptr, job_run_line(dialect, job_script_path()));
    if (code == -1)
        throw conversion_error("the job could not be started");
    if (single) {
        if (!platform::plain_file_exists(scratch_output_path()))
            throw conversion_error("the converter left no output");
        append_scratch_output(s.single_output_file, scratch_output_path(), input);
    }
    count_processed_file();
    if (code != 0)
        record_failure(input, "converter exit code " + std::to_string(code));
}

void append_scratch_output(const std::string& single_output, const std::string& scratch, const std::string& input) {
    const std::string prefix = file_name_part(input) + "\t";
    platform::text_appender out(single_output);
    platform::read_text_lines(scratch, [&](const std::string& line) { out.write_line(prefix + line); });
    out.close();
}

void count_processed_file() {
    auto& s = state();
    if (s.files_processed == std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error("too many files");
    ++s.files_processed;
    s.window->set_lbl_nfiles("Files processed: " + std::to_string(s.files_processed));
}

} // namespace mod_convert
