#include "convert/batch.h"

#include "convert/convert_file.h"
#include "convert/guard.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "platform/native.h"
#include "util/mod_utils_dsw.h"

#include <filesystem>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

// Windows shows the converter's console in the task bar; elsewhere there is none to look at.
std::string batch_note() {
    if (platform::native_dialect() == platform::shell_dialect::windows_cmd)
        return "Note:\rIf program appears to hang, check DOS window in taskbar for errors.";
    return "Note:\rIf program appears to hang, click stop.";
}

constexpr std::size_t tooltip_failures = 50;

// A failed clean-up is reported like a failed file; it does not stop the batch.
void delete_recorded(batch& b, const std::string& path) {
    try {
        delete_if_exists(path);
    } catch (const std::exception& e) {
        record_failure(b, path, e.what());
    }
}

// A directory's name too, though its path ends in a separator.
std::string display_name(const std::string& path) {
    const char sep = platform::native_separator();
    const std::string trimmed = path.size() > 1 && path.back() == sep ? path.substr(0, path.size() - 1) : path;
    const std::string name = file_name_part(trimmed);
    return name.empty() ? path : name;
}

std::string failures_text(const std::vector<failure>& failures) {
    const failure& first = failures.front();
    const std::string what = display_name(first.path) + " (" + first.reason + ")";
    if (failures.size() == 1)
        return "1 file failed: " + what;
    return std::to_string(failures.size()) + " files failed, first: " + what;
}

std::string final_status(const batch& b, bool log_exists) {
    if (!b.batch_error.empty())
        return b.batch_error;
    if (b.stopped)
        return b.failures.empty() ? "Status: Stopped" : "Status: Stopped; " + failures_text(b.failures);
    if (!b.failures.empty())
        return "Status: " + failures_text(b.failures);
    return log_exists ? "Status: See " + state().exe_base_name + ".log for details of some errors" : "Status: Idle";
}

std::string failure_tooltip(const batch& b, bool log_exists) {
    std::string text;
    if (b.job_dir != state().app_dir)
        text += "Job files in " + b.job_dir + " (the program's folder is read-only)\n";
    if (b.unguarded)
        text += "Kivo could not lock the application directory: another Kivo there could share its job files\n";
    for (std::size_t i = 0; i < b.failures.size() && i < tooltip_failures; ++i)
        text += b.failures[i].path + ": " + b.failures[i].reason + "\n";
    if (b.failures.size() > tooltip_failures)
        text += "and " + std::to_string(b.failures.size() - tooltip_failures) + " more\n";
    if (log_exists && !b.failures.empty())
        text += "See also " + conversion_log_path() + "\n";
    if (!text.empty())
        text.pop_back();
    return text;
}

// The program's folder may be read-only (unpacked into /opt, or on a read-only medium): the job
// files then go to a per-user folder; converters and the log stay in the program's folder.
std::string job_directory() {
    const auto& s = state();
    if (platform::dir_writable(s.app_dir) || s.user_job_dir.empty())
        return s.app_dir;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(s.user_job_dir), ec);
    return s.user_job_dir;
}

// The window goes back to idle however the batch ends.
class phase_guard {
public:
    explicit phase_guard(main_window& w) : window_(w) { window_.set_batch_phase(batch_phase::choosing); }
    ~phase_guard() { window_.set_batch_phase(batch_phase::idle); }
    phase_guard(const phase_guard&) = delete;
    phase_guard& operator=(const phase_guard&) = delete;

private:
    main_window& window_;
};

// Anything but a plain file in a job file's place would block, or be written through: refused.
std::string job_file_problem(const batch& b) {
    for (const std::string& path : {job_script_path(b), scratch_output_path(b)}) {
        const auto kind = platform::inspect_path(path, false).kind;
        if (kind != platform::path_kind::missing && kind != platform::path_kind::regular)
            return "Status: " + file_name_part(path) + " in the application directory is not a plain file";
    }
    return {};
}

void delete_job_files(batch& b) {
    if (b.choices.chk_debug == 0) {
        delete_recorded(b, job_script_path(b));
        delete_recorded(b, scratch_output_path(b));
    }
}

// Two windows on one application directory would share the job script and the scratch output; so
// would two read-only installations, which share the per-user job folder. Once locked, what an
// earlier batch left goes. False when another Kivo has them.
bool claim_job_files(batch& b) {
    using lock = platform::dir_lock::result;
    if (b.claim != batch::claim_state::untried)
        return b.claim == batch::claim_state::claimed;
    const lock app = b.app_lock.try_lock(state().app_dir);
    const lock job = b.job_dir == state().app_dir ? lock::locked : b.job_lock.try_lock(b.job_dir);
    if (app == lock::busy || job == lock::busy) {
        b.claim = batch::claim_state::refused;
        return false;
    }
    b.unguarded = app == lock::unavailable || job == lock::unavailable;
    b.claim = batch::claim_state::claimed;
    delete_recorded(b, conversion_log_path());
    delete_job_files(b);
    return true;
}

} // namespace

batch::batch(main_window& w) : window(w), job_dir(state().app_dir) {}

std::string conversion_log_path() {
    return with_trailing_backslash(state().app_dir) + state().exe_base_name + ".log";
}

void record_failure(batch& b, const std::string& path, const std::string& reason) {
    b.failures.push_back({path, reason});
}

void begin_batch(batch& b) {
    auto& s = state();
    b.choices = b.window.choices();
    b.failures.clear();
    b.batch_error.clear();
    b.window.set_lbl_currpath("");
    b.window.set_lbl_status_tooltip("");
    s.files_processed = -1;
    count_processed_file(b.window);
    s.filename_pattern = b.choices.chk_matchfilename > 0 ? b.choices.txt_from_filename : "*.*";
    s.output_name_pattern = b.choices.txt_to_filename;
    s.source_format = b.choices.source_format;
    s.target_format = b.choices.target_format;
    b.window.set_lbl_note(batch_note());
    b.window.set_lbl_status("Status: Processing...");
}

void end_batch(batch& b) {
    b.window.set_lbl_note("");
    b.window.set_lbl_currpath("");
    if (claim_job_files(b))
        delete_job_files(b);
    const bool log_exists = platform::plain_file_exists(conversion_log_path());
    b.window.set_lbl_status(final_status(b, log_exists));
    b.window.set_lbl_status_tooltip(failure_tooltip(b, log_exists));
}

bool begin_converting(batch& b) {
    if (b.converting)
        return true;
    if (!claim_job_files(b))
        b.batch_error = "Status: Another Kivo is converting with this application directory";
    else
        b.batch_error = job_file_problem(b);
    if (!b.batch_error.empty())
        return false;
    b.window.set_batch_phase(batch_phase::converting);
    b.converting = true;
    return true;
}

void run_batch(main_window& window, const std::function<void(batch&)>& body) {
    batch b(window);
    b.job_dir = job_directory();
    phase_guard phase(window);
    begin_batch(b);
    b.batch_error = single_output_status(b.choices.opt_to_one);
    try {
        if (b.batch_error.empty())
            body(b);
    } catch (const batch_stopped&) {
        b.stopped = true;
    } catch (const std::exception& e) {
        b.batch_error = std::string("Status: Stopped: ") + e.what();
    }
    end_batch(b);
}

void convert_in_batch(batch& b, const std::string& path) {
    if (b.window.stop_requested() || !begin_converting(b))
        throw batch_stopped();
    try {
        convert_file(b, path);
    } catch (const std::exception& e) {
        record_failure(b, path, e.what());
    }
}

} // namespace mod_convert
