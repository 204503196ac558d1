#include "convert/convert_file.h"

#include "convert/formats.h"
#include "convert/job_script.h"
#include "convert/job_wait.h"
#include "convert/path_checks.h"
#include "convert/records.h"
#include "convert/state.h"
#include "convert/status_text.h"
#include "platform/conventions.h"
#include "platform/errors.h"
#include "platform/job_files.h"
#include "platform/short_path.h"
#include "platform/text_file.h"
#include "util/mod_utils_dsw.h"

#include <memory>
#include <sstream>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

void refuse(const std::string& problem) {
    if (!problem.empty())
        throw refusal(problem);
}

// The input path with its file name's extension replaced; a dot in a directory name is not cut.
std::string per_file_output(const batch_choices& choices, const std::string& input) {
    const std::string name = file_name_part(input);
    const std::string base = name.find('.') == std::string::npos ? input : dir_part(input) + strip_extension(name);
    return base + "." + extension_part(choices.txt_to_filename);
}

// In single-file mode a name becomes a record's first field.
bool breaks_records(const std::string& name) {
    return name.find_first_of("\t\r\n") != std::string::npos;
}

// An output is written by one file of a batch only; a later file that would replace it is skipped.
void claim_output(output_claims& claims, const std::string& output, const std::string& input) {
    const auto [it, fresh] = claims.emplace(platform::path_key(output), input);
    if (!fresh)
        throw refusal("same output as " + file_name_part(it->second));
}

void check_output(const std::string& output, const std::string& input) {
    const auto info = platform::inspect_path(output, false);
    refuse(output_problem(info));
    if (info.kind != platform::path_kind::missing && same_file(output, input))
        throw refusal("output would overwrite the input");
}

// The job: its script written as the record of what runs (`sh kivotemp.sh` repeats it by hand), and
// the same command for the runner, which POSIX starts without a shell in between.
struct job {
    platform::job_command command;
    bool reads_standard_input = false;
    std::string input_path;
};

job write_job(const file_job_context& fj, const std::string& input) {
    const auto dialect = platform::native_dialect();
    job j;
    j.input_path = short_file_path(input);
    const std::string line =
        job_line(dialect, fj.plan.program, fj.plan.flags, j.input_path, output_target(fj.choices, fj.job_dir, input));
    j.command.script = job_script_path(fj.job_dir);
    try {
        platform::write_text_lines(j.command.script, job_script_lines(dialect, line));
    } catch (const std::exception&) {
        throw conversion_error("cannot write the job script");
    }
    j.command.program = fj.plan.program;
    std::istringstream flags(fj.plan.flags);
    for (std::string flag; flags >> flag;) {
        if (flag == "<")
            j.reads_standard_input = true;
        else
            j.command.args.push_back(flag);
    }
    if (!j.reads_standard_input)
        j.command.args.push_back(j.input_path);
    return j;
}

// A step on the OS whose failure fails the file, with the OS's words behind what Kivo was doing.
template <typename Step> auto reworded(const std::string& what, Step&& step) {
    try {
        return step();
    } catch (const platform::os_error& e) {
        throw conversion_error(what + " (" + e.what() + ")");
    }
}

std::unique_ptr<platform::output_file> place_output(const file_job_context& fj, const std::string& output) {
    using how = platform::output_file::how;
    const bool single = fj.choices.opt_to_one;
    const std::string path = single ? scratch_output_path(fj.job_dir) : output;
    const how h = single                                        ? how::scratch
                  : writes_own_output(fj.choices.source_format) ? how::by_name
                                                                : how::standard_output;
    return reworded(single ? "cannot write the scratch output" : "cannot write beside the output",
                    [&] { return std::make_unique<platform::output_file>(path, h); });
}

// The names a converter may write for `input`: NAME.EXT and NAME_k.EXT, for the input's NAME and
// the pair's target EXT; never the input's own.
bool entitled(const batch_choices& choices, const std::string& name, const std::string& input) {
    const std::string input_name = file_name_part(input);
    const std::string stem = input_name.find('.') == std::string::npos ? input_name : strip_extension(input_name);
    const std::string ext = "." + format_ext(choices.target_format);
    if (name.size() <= ext.size() || !equals_ignoring_case(name.substr(name.size() - ext.size()), ext))
        return false;
    const std::string rest = name.substr(0, name.size() - ext.size());
    if (rest.compare(0, stem.size(), stem) != 0)
        return false;
    const std::string k = rest.substr(stem.size());
    if (k.empty())
        return true;
    return k.size() >= 2 && k[0] == '_' && k[1] != '0' && k.find_first_not_of("0123456789", 1) == std::string::npos;
}

// One file of a converter's set, checked as the first output was: the job ran, so its file fails.
void check_produced(const file_job_context& fj, const platform::output_file::produced_file& f,
                    const std::string& input) {
    if (!entitled(fj.choices, f.name, input))
        throw conversion_error(f.name + ": not a name the converter may write for " + file_name_part(input));
    if (!f.problem.empty())
        throw conversion_error(f.name + ": " + f.problem + ", not a new plain file");
    try {
        check_output(f.path, input);
        const auto claimed = fj.claims.find(platform::path_key(f.path));
        if (claimed != fj.claims.end() && claimed->second != input)
            throw refusal("same output as " + file_name_part(claimed->second));
    } catch (const refusal& e) {
        throw conversion_error(f.name + ": " + e.what());
    }
}

// A converter's outputs are one set: only names it may write, each a new plain file, checked and
// claimed as the first was; all land or none.
void commit_outputs(file_job_context& fj, platform::output_file& placed, const std::string& input) {
    const auto files = reworded("cannot look at the converter's outputs", [&] { return placed.produced(); });
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i % 256 == 255)
            fj.keep_alive();
        check_produced(fj, files[i], input);
    }
    reworded("cannot put the output in place", [&] { placed.commit(fj.keep_alive); });
    for (const auto& f : files)
        fj.claims.emplace(platform::path_key(f.path), input);
}

// An append that fails leaves the single output file as it was; the batch stops.
void append_or_fail(file_job_context& fj, const std::string& input) {
    try {
        append_scratch_output(fj, input);
    } catch (const platform::os_error& e) {
        throw append_failure(e.what());
    }
}

// A job's end: its output in place, or why not.
void take_result(file_job_context& fj, const mod_ExecCmd::exec_result& result, platform::output_file& placed,
                 const std::string& input) {
    if (result.stopped)
        throw batch_stopped(); // the output as it was before
    if (!result.started)
        throw conversion_error("the job could not be started");
    if (result.exit_code != 0)
        throw conversion_error("converter exit code " + std::to_string(result.exit_code), result.error_tail);
    if (fj.choices.opt_to_one)
        append_or_fail(fj, input);
    else
        commit_outputs(fj, placed, input);
}

} // namespace

job_plan make_job_plan(const batch_choices& choices) {
    const std::string name = converter_command(choices.source_format, choices.target_format, false);
    const std::string with_flags = converter_command(choices.source_format, choices.target_format, true);
    return {name, with_trailing_backslash(short_folder_path(state().app_dir)) + name, with_flags.substr(name.size()),
            extension_part(choices.txt_to_filename), converter_problem(name)};
}

std::string job_script_path(const std::string& job_dir) {
    return with_trailing_backslash(job_dir) + job_script_name(platform::native_dialect());
}
std::string scratch_output_path(const std::string& job_dir) {
    return with_trailing_backslash(job_dir) + "kivotemp.tmp";
}

std::string output_path(const batch_choices& choices, const std::string& input) {
    return choices.opt_to_one ? choices.single_output_file : per_file_output(choices, input);
}

std::string output_target(const batch_choices& choices, const std::string& job_dir, const std::string& input) {
    if (writes_own_output(choices.source_format))
        return {};
    const std::string target = choices.opt_to_one ? scratch_output_path(job_dir) : per_file_output(choices, input);
    return redirection(platform::native_dialect(), platform::interpreter_output_path(target));
}

std::string convert_file(file_job_context& fj, const std::string& input) {
    fj.window.set_lbl_currpath(current_file_caption(input));
    refuse(fj.plan.converter_problem);
    refuse(input_problem(input));
    const bool single = fj.choices.opt_to_one;
    if (single && breaks_records(file_name_part(input)))
        throw refusal("its name holds a tab or a line break");
    const std::string output = output_path(fj.choices, input);
    check_output(output, input);
    if (!single)
        claim_output(fj.claims, output, input);
    // First: on Windows the job line may create an empty output to learn its short name.
    const auto placed = place_output(fj, output);
    auto job = write_job(fj, input);
    std::unique_ptr<platform::input_file> in;
    if (job.reads_standard_input)
        in = reworded("cannot read the input", [&] { return std::make_unique<platform::input_file>(job.input_path); });
    job.command.input = in ? in->handle() : -1;
    job.command.output = placed->handle();
    if (!placed->folder().empty())
        job.command.environment.push_back("KIVO_OUTPUT_DIR=" + placed->folder());

    const auto result = mod_ExecCmd::ExecCmd(fj.window, job.command);
    try {
        take_result(fj, result, *placed, input);
    } catch (...) {
        // What the job left goes, the window alive meanwhile: a set may be large.
        placed->discard([&fj] {
            fj.window.wake();
            fj.window.do_events();
        });
        throw;
    }
    return result.error_tail;
}

void append_scratch_output(file_job_context& fj, const std::string& input) {
    platform::text_appender out(fj.choices.single_output_file);
    record_writer records(file_name_part(input) + "\t", platform::native_line_end());
    int blocks = 0;
    platform::read_blocks(scratch_output_path(fj.job_dir), [&](const char* data, std::size_t size) {
        out.write(records.feed(data, size));
        if (++blocks % 16 == 0)
            fj.keep_alive();
    });
    out.write(records.finish());
    out.close();
}

} // namespace mod_convert
