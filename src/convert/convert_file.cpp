#include "convert/convert_file.h"

#include "convert/exec_cmd.h"
#include "convert/formats.h"
#include "convert/guard.h"
#include "convert/job.h"
#include "convert/records.h"
#include "convert/state.h"
#include "platform/errors.h"
#include "platform/job_io.h"
#include "platform/native.h"
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
        throw refusal("same output as " + file_name_part(it->second));
}

void check_output(const std::string& output, const std::string& input) {
    refuse(output_problem(output));
    if (same_file(output, input))
        throw refusal("output would overwrite the input");
}

// The job: its script written as the record of what runs (`sh kivotemp.sh` repeats it by hand), and
// the same command for the runner, which POSIX starts without a shell in between.
struct job {
    platform::job_command command;
    bool reads_standard_input = false;
    std::string input_path;
};

job write_job(const batch& b, const job_plan& plan, const std::string& input) {
    const auto dialect = platform::native_dialect();
    job j;
    j.input_path = short_file_path(input);
    const std::string line = job_line(dialect, plan.program, plan.flags, j.input_path, output_target(b, input));
    j.command.script = job_script_path(b);
    try {
        platform::write_text_lines(j.command.script, job_script_lines(dialect, line));
    } catch (const std::exception&) {
        throw conversion_error("cannot write the job script");
    }
    j.command.program = plan.program;
    std::istringstream flags(plan.flags);
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

std::unique_ptr<platform::output_file> place_output(const batch& b, const std::string& output) {
    using how = platform::output_file::how;
    const bool single = b.choices.opt_to_one;
    const std::string path = single ? scratch_output_path(b) : output;
    const how h = single                                     ? how::scratch
                  : writes_own_output(state().source_format) ? how::by_name
                                                             : how::standard_output;
    return reworded(single ? "cannot write the scratch output" : "cannot write beside the output",
                    [&] { return std::make_unique<platform::output_file>(path, h); });
}

// The names a converter may write for `input`: NAME.EXT and NAME_k.EXT, for the input's NAME and
// the pair's target EXT; never the input's own.
bool entitled(const std::string& name, const std::string& input) {
    const std::string input_name = file_name_part(input);
    const std::string stem = input_name.find('.') == std::string::npos ? input_name : strip_extension(input_name);
    const std::string ext = "." + format_ext(state().target_format);
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
void check_produced(const batch& b, const platform::output_file::produced_file& f, const std::string& input) {
    if (!entitled(f.name, input))
        throw conversion_error(f.name + ": not a name the converter may write for " + file_name_part(input));
    if (!f.problem.empty())
        throw conversion_error(f.name + ": " + f.problem + ", not a new plain file");
    try {
        check_output(f.path, input);
        const auto claimed = b.outputs.find(platform::path_key(f.path));
        if (claimed != b.outputs.end() && claimed->second != input)
            throw refusal("same output as " + file_name_part(claimed->second));
    } catch (const refusal& e) {
        throw conversion_error(f.name + ": " + e.what());
    }
}

// A converter's outputs are one set: only names it may write, each a new plain file, checked and
// claimed as the first was; all land or none.
void commit_outputs(batch& b, platform::output_file& placed, const std::string& input) {
    const auto files = reworded("cannot look at the converter's outputs", [&] { return placed.produced(); });
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i % 256 == 255)
            keep_window_alive(b);
        check_produced(b, files[i], input);
    }
    reworded("cannot put the output in place", [&] { placed.commit([&b] { keep_window_alive(b); }); });
    for (const auto& f : files)
        b.outputs.emplace(platform::path_key(f.path), input);
}

// An append that fails leaves the single output file as it was, and ends the batch: every later
// file would meet the same full disk.
void append_or_stop(batch& b, const std::string& input) {
    try {
        append_scratch_output(b, input);
    } catch (const platform::os_error& e) {
        record_failure(b, input, e.what());
        b.batch_error = "Status: Stopped; " + file_name_part(input) + " could not be added to " +
                        file_name_part(state().single_output_file) + " (" + e.what() + ")";
        throw batch_stopped();
    }
}

// A job's end: its output in place, or why not.
void take_result(batch& b, const mod_ExecCmd::exec_result& result, platform::output_file& placed,
                 const std::string& input) {
    if (result.stopped)
        throw batch_stopped(); // the output as it was before
    if (!result.started)
        throw conversion_error("the job could not be started");
    if (result.exit_code != 0)
        throw conversion_error("converter exit code " + std::to_string(result.exit_code), result.error_tail);
    if (b.choices.opt_to_one)
        append_or_stop(b, input);
    else
        commit_outputs(b, placed, input);
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

std::string convert_file(batch& b, const std::string& input) {
    b.window.set_lbl_currpath("File: " + input);
    const job_plan& plan = plan_of(b);
    refuse(converter_problem(plan.converter));
    refuse(input_problem(input));
    const bool single = b.choices.opt_to_one;
    if (single && breaks_records(file_name_part(input)))
        throw refusal("its name holds a tab or a line break");
    const std::string output = output_path(b, input);
    check_output(output, input);
    if (!single)
        claim_output(b, output, input);
    // First: on Windows the job line may create an empty output to learn its short name.
    const auto placed = place_output(b, output);
    auto job = write_job(b, plan, input);
    std::unique_ptr<platform::input_file> in;
    if (job.reads_standard_input)
        in = reworded("cannot read the input", [&] { return std::make_unique<platform::input_file>(job.input_path); });
    job.command.input = in ? in->handle() : -1;
    job.command.output = placed->handle();
    if (!placed->folder().empty())
        job.command.environment.push_back("KIVO_OUTPUT_DIR=" + placed->folder());

    const auto result = mod_ExecCmd::ExecCmd(b.window, job.command);
    try {
        take_result(b, result, *placed, input);
    } catch (...) {
        // What the job left goes, the window alive meanwhile: a set may be large.
        placed->discard([&b] {
            b.window.wake();
            b.window.do_events();
        });
        throw;
    }
    return result.error_tail;
}

void append_scratch_output(batch& b, const std::string& input) {
    platform::text_appender out(state().single_output_file);
    record_writer records(file_name_part(input) + "\t", platform::native_line_end());
    int blocks = 0;
    platform::read_blocks(scratch_output_path(b), [&](const char* data, std::size_t size) {
        out.write(records.feed(data, size));
        if (++blocks % 16 == 0)
            keep_window_alive(b);
    });
    out.write(records.finish());
    out.close();
}

} // namespace mod_convert
