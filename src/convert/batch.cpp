#include "convert/batch.h"

#include "convert/convert_file.h"
#include "convert/guard.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "platform/native.h"
#include "util/mod_utils_dsw.h"

#include <filesystem>
#include <limits>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

// Windows shows the converter's console in the task bar; elsewhere there is none to look at.
std::string batch_note() {
    if (platform::native_dialect() == platform::shell_dialect::windows_cmd)
        return "Note:\rIf program appears to hang, check DOS window in taskbar for errors.";
    return "Note:\rIf program appears to hang, click stop.";
}

// A failed clean-up is reported like a failed file; it does not stop the batch.
void delete_recorded(batch& b, const std::string& path) {
    try {
        delete_if_exists(path);
    } catch (const std::exception& e) {
        record_failure(b, path, e.what());
    }
}

std::string log_name() {
    return state().exe_base_name + ".log";
}

std::string final_status(const batch& b, bool log_exists) {
    const batch_report& r = b.report;
    if (!b.batch_error.empty())
        return b.batch_error;
    if (!r.log_problem().empty())
        return "Status: " + std::string(b.stopped ? "Stopped; " : "") + r.trouble() +
               "; the log could not be written: " + r.log_problem();
    const std::string details = log_name() + " for details of some errors";
    if (b.stopped)
        return log_exists ? "Status: Stopped; see " + details : "Status: Stopped";
    if (log_exists)
        return "Status: See " + details;
    if (r.files() == 0 && !b.looked_for.empty())
        return "Status: Idle (no file matched " + b.looked_for + ")";
    return "Status: Idle";
}

std::string status_tooltip(const batch& b) {
    std::string text;
    if (b.job_dir != state().app_dir)
        text += "Job files and " + log_name() + " in " + b.job_dir +
                (platform::installed_for_everyone(state().app_dir) ? " (the program is installed for everyone)\n"
                                                                   : " (the program's folder is read-only)\n");
    if (b.unguarded)
        text += "Kivo could not lock the application directory: another Kivo there could share its job files\n";
    if (b.report.files() > 0)
        text += b.report.summary() + "\n";
    if (!text.empty())
        text.pop_back();
    return text;
}

// The program's folder may be installed for everyone (a package, Program Files) or read-only
// (unpacked into /opt, or on a read-only medium): the job files and the log then go to a per-user
// folder; converters stay in the program's folder.
std::string job_directory() {
    const auto& s = state();
    const bool own = !platform::installed_for_everyone(s.app_dir) && platform::dir_writable(s.app_dir);
    return own || s.user_job_dir.empty() ? s.app_dir : s.user_job_dir;
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

// "Files processed: N", with " of TOTAL" while the total is known and not passed.
void show_count(batch& b) {
    const std::int32_t n = state().files_processed;
    const bool of_total = b.total > 0 && n <= b.total;
    b.window.set_lbl_nfiles("Files processed: " + std::to_string(n) +
                            (of_total ? " of " + std::to_string(b.total) : ""));
}

} // namespace

batch::batch(main_window& w) : window(w), job_dir(state().app_dir) {}

std::string conversion_log_path() {
    return with_trailing_backslash(job_directory()) + log_name();
}

void record_outcome(batch& b, outcome kind, const std::string& path, const std::string& reason,
                    const std::string& error_output) {
    b.report.add(kind, path, reason, error_output, b.plan ? b.plan->converter : std::string());
    count_processed_file(b);
}

void record_failure(batch& b, const std::string& path, const std::string& reason) {
    record_outcome(b, outcome::failed, path, reason);
}

void set_total(batch& b, int total) {
    b.total = total;
    show_count(b);
}

void count_processed_file(batch& b) {
    auto& s = state();
    if (s.files_processed == std::numeric_limits<std::int32_t>::max())
        throw std::overflow_error("too many files");
    ++s.files_processed;
    show_count(b);
}

void begin_batch(batch& b) {
    auto& s = state();
    b.choices = b.window.choices();
    b.report.start(conversion_log_path());
    b.batch_error.clear();
    b.looked_for.clear();
    b.total = 0;
    b.window.set_lbl_currpath("");
    b.window.set_lbl_status_tooltip("");
    s.files_processed = -1;
    count_processed_file(b);
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
    b.report.finish();
    if (b.total != 0)
        set_total(b, 0); // the count alone once the batch is over
    b.window.set_lbl_status(final_status(b, platform::plain_file_exists(conversion_log_path())));
    b.window.set_lbl_status_tooltip(status_tooltip(b));
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
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(b.job_dir), ec);
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

void keep_window_alive(batch& b) {
    b.window.wake();
    b.window.do_events();
    if (b.window.stop_requested())
        throw batch_stopped();
}

void convert_in_batch(batch& b, const std::string& path) {
    if (b.window.stop_requested() || !begin_converting(b))
        throw batch_stopped();
    try {
        const std::string warnings = convert_file(b, path);
        if (warnings.find_first_not_of(" \t\r\n") == std::string::npos)
            record_outcome(b, outcome::converted, path);
        else
            record_outcome(b, outcome::warning, path, "converted with warnings", warnings);
    } catch (const refusal& e) {
        record_outcome(b, outcome::skipped, path, e.what());
    } catch (const conversion_error& e) {
        record_outcome(b, outcome::failed, path, e.what(), e.error_output());
    } catch (const std::exception& e) {
        record_failure(b, path, e.what());
    }
}

} // namespace mod_convert
