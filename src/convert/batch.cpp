#include "convert/batch.h"

#include "convert/path_checks.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "platform/job_files.h"
#include "util/mod_utils_dsw.h"

#include <filesystem>
#include <limits>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

// A failed clean-up is reported like a failed file; it does not stop the batch.
void delete_recorded(batch& b, const std::string& path) {
    try {
        delete_if_exists(path);
    } catch (const std::exception& e) {
        record_outcome(b, outcome::failed, path, e.what());
    }
}

std::string log_name() {
    return state().exe_base_name + ".log";
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
bool job_files_are_plain(batch& b) {
    for (const std::string& path : {job_script_path(b.job_dir), scratch_output_path(b.job_dir)}) {
        const auto kind = platform::inspect_path(path, false).kind;
        if (kind != platform::path_kind::missing && kind != platform::path_kind::regular) {
            b.end = {batch_end::kind::job_file_not_plain, file_name_part(path), {}, {}};
            return false;
        }
    }
    return true;
}

void delete_job_files(batch& b) {
    if (b.choices.chk_debug == 0) {
        delete_recorded(b, job_script_path(b.job_dir));
        delete_recorded(b, scratch_output_path(b.job_dir));
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

void show_count(batch& b) {
    b.window.set_lbl_nfiles(count_caption(state().files_processed, b.total));
}

// The single output file is checked once, before anything else of the batch.
bool single_output_acceptable(batch& b) {
    if (!b.choices.opt_to_one)
        return true;
    const std::string& path = b.choices.single_output_file;
    const std::string problem = single_output_problem(path);
    if (problem.empty())
        return true;
    b.end = {batch_end::kind::single_output_refused, file_name_part(path), problem, {}};
    return false;
}

batch_summary summary_of(const batch& b) {
    return {b.end, b.report, log_name(), platform::plain_file_exists(conversion_log_path()), b.looked_for};
}

} // namespace

std::string filename_pattern(const batch_choices& choices) {
    return choices.chk_matchfilename > 0 ? choices.txt_from_filename : "*.*";
}

batch::batch(main_window& w) : window(w), job_dir(state().app_dir) {}

std::string conversion_log_path() {
    return with_trailing_backslash(job_directory()) + log_name();
}

void record_outcome(batch& b, outcome kind, const std::string& path, const std::string& reason,
                    const std::string& error_output) {
    b.report.add(kind, path, reason, error_output, b.plan ? b.plan->converter : std::string());
    count_processed_file(b);
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
    b.choices = b.window.choices();
    b.choices.single_output_file = state().single_output_file;
    b.report.start(conversion_log_path());
    b.end = {};
    b.looked_for.clear();
    b.total = 0;
    b.window.set_lbl_currpath("");
    b.window.set_lbl_status_tooltip("");
    state().files_processed = -1;
    count_processed_file(b);
    b.window.set_lbl_note(batch_note());
    b.window.set_lbl_status(processing_status());
}

void end_batch(batch& b) {
    b.window.set_lbl_note("");
    b.window.set_lbl_currpath("");
    if (claim_job_files(b))
        delete_job_files(b);
    b.report.finish();
    if (b.total != 0)
        set_total(b, 0); // the count alone once the batch is over
    const batch_summary summary = summary_of(b);
    b.window.set_lbl_status(final_status(summary));
    const batch_whereabouts where{b.job_dir != state().app_dir, platform::installed_for_everyone(state().app_dir),
                                  b.job_dir, b.unguarded};
    b.window.set_lbl_status_tooltip(status_tooltip(where, summary));
}

bool begin_converting(batch& b) {
    if (b.converting)
        return true;
    if (!claim_job_files(b)) {
        b.end = {batch_end::kind::another_kivo, {}, {}, {}};
        return false;
    }
    if (!job_files_are_plain(b))
        return false;
    b.plan = make_job_plan(b.choices);
    platform::note_output_settings();
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
    try {
        if (single_output_acceptable(b))
            body(b);
    } catch (const batch_stopped&) {
        if (b.end.what == batch_end::kind::finished)
            b.end.what = batch_end::kind::stopped;
    } catch (const std::exception& e) {
        b.end = {batch_end::kind::stopped_by_error, {}, e.what(), {}};
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
    file_job_context job{b.window, b.choices, *b.plan, b.job_dir, b.claims, [&b] { keep_window_alive(b); }};
    try {
        const std::string warnings = convert_file(job, path);
        if (warnings.find_first_not_of(" \t\r\n") == std::string::npos)
            record_outcome(b, outcome::converted, path);
        else
            record_outcome(b, outcome::warning, path, "converted with warnings", warnings);
    } catch (const refusal& e) {
        record_outcome(b, outcome::skipped, path, e.what());
    } catch (const append_failure& e) {
        record_outcome(b, outcome::failed, path, e.what());
        b.end = {batch_end::kind::append_failed, file_name_part(path), e.what(),
                 file_name_part(b.choices.single_output_file)};
        throw batch_stopped();
    } catch (const conversion_error& e) {
        record_outcome(b, outcome::failed, path, e.what(), e.error_output());
    } catch (const std::exception& e) {
        record_outcome(b, outcome::failed, path, e.what());
    }
}

} // namespace mod_convert
