#include "convert/batch.h"

#include "convert/convert_file.h"
#include "convert/formats.h"
#include "convert/main_window.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "util/mod_utils_dsw.h"

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

const char* const batch_note = "Note:\rIf program appears to hang, check DOS window in taskbar for errors.";

std::int32_t first_selected(bool (main_window::*selected)(int) const) {
    for (int i = 0; i < format_count; ++i)
        if ((state().window->*selected)(i))
            return i;
    return no_format;
}

// A failed clean-up is reported like a failed file; it does not stop the batch.
void delete_recorded(const std::string& path) {
    try {
        delete_if_exists(path);
    } catch (const std::exception& e) {
        record_failure(path, e.what());
    }
}

std::string failure_status(const std::vector<failure>& failures) {
    const failure& first = failures.front();
    const std::string what = file_name_part(first.path) + " (" + first.reason + ")";
    if (failures.size() == 1)
        return "Status: 1 file failed: " + what;
    return "Status: " + std::to_string(failures.size()) + " files failed, first: " + what;
}

std::string final_status(bool log_exists) {
    const auto& s = state();
    if (!s.batch_error.empty())
        return s.batch_error;
    if (!s.failures.empty())
        return failure_status(s.failures);
    return log_exists ? "Status: See " + s.exe_base_name + ".log for details of some errors" : "Status: Idle";
}

std::string failure_tooltip(bool log_exists) {
    const auto& s = state();
    if (s.failures.empty())
        return {};
    std::string text;
    for (const auto& f : s.failures)
        text += f.path + ": " + f.reason + "\n";
    if (log_exists)
        text += "See also " + conversion_log_path() + "\n";
    text.pop_back();
    return text;
}

} // namespace

std::string conversion_log_path() {
    return with_trailing_backslash(state().app_dir) + state().exe_base_name + ".log";
}

void record_failure(const std::string& path, const std::string& reason) {
    state().failures.push_back({path, reason});
}

void begin_batch() {
    auto& s = state();
    s.failures.clear();
    s.batch_error.clear();
    delete_recorded(conversion_log_path());
    end_batch();
    s.files_processed = -1;
    count_processed_file();
    s.filename_pattern = s.window->chk_matchfilename() > 0 ? s.window->txt_from_filename() : "*.*";
    s.output_name_pattern = s.window->txt_to_filename();
    s.source_format = first_selected(&main_window::opt_from);
    s.target_format = first_selected(&main_window::opt_to);
    s.window->set_lbl_note(batch_note);
    s.window->set_lbl_status("Status: Processing...");
    s.window->refresh();
}

void end_batch() {
    auto& s = state();
    s.window->set_lbl_note("");
    s.window->set_lbl_currpath("");
    if (s.window->chk_debug() == 0) {
        delete_recorded(job_script_path());
        delete_recorded(scratch_output_path());
    }
    const bool log_exists = platform::plain_file_exists(conversion_log_path());
    s.window->set_lbl_status(final_status(log_exists));
    s.window->set_lbl_status_tooltip(failure_tooltip(log_exists));
}

void run_batch(const std::function<void()>& body) {
    begin_batch();
    try {
        body();
    } catch (const std::exception& e) {
        state().batch_error = std::string("Status: Stopped: ") + e.what();
    }
    end_batch();
}

void convert_in_batch(const std::string& path) {
    try {
        convert_file(path);
    } catch (const std::exception& e) {
        record_failure(path, e.what());
    }
}

} // namespace mod_convert
