#include "convert/status_text.h"

#include "convert/path_checks.h"
#include "platform/conventions.h"

namespace mod_convert {

namespace {

// An end that is not the batch's own outcome: it replaces every other status.
std::string trouble_status(const batch_end& e) {
    using k = batch_end::kind;
    switch (e.what) {
    case k::stopped_by_error:
        return "Status: Stopped: " + e.detail;
    case k::append_failed:
        return "Status: Stopped; " + e.subject + " could not be added to " + e.single_output_name + " (" + e.detail +
               ")";
    case k::invalid_filename_pattern:
        return "Status: Invalid filename pattern: " + e.subject;
    case k::invalid_output_pattern:
        return "Status: Invalid output-name pattern: " + e.subject;
    case k::single_output_refused:
        return "Status: The single output file cannot be " + e.subject +
               (e.detail == own_file_reason ? "" : " (" + e.detail + ")");
    case k::job_file_not_plain:
        return "Status: " + e.subject + " in the application directory is not a plain file";
    case k::another_kivo:
        return "Status: Another Kivo is converting with this application directory";
    default:
        return {};
    }
}

} // namespace

std::string final_status(const batch_summary& s) {
    const std::string trouble = trouble_status(s.end);
    if (!trouble.empty())
        return trouble;
    const bool stopped = s.end.what == batch_end::kind::stopped;
    const batch_report& r = s.report;
    if (!r.log_problem().empty())
        return "Status: " + std::string(stopped ? "Stopped; " : "") + r.trouble() +
               "; the log could not be written: " + r.log_problem();
    const std::string details = s.log_name + " for details of some errors";
    if (stopped)
        return s.log_exists ? "Status: Stopped; see " + details : "Status: Stopped";
    if (s.log_exists)
        return "Status: See " + details;
    if (r.files() == 0 && !s.looked_for.empty())
        return "Status: Idle (no file matched " + s.looked_for + ")";
    return idle_status();
}

std::string status_tooltip(const batch_whereabouts& where, const batch_summary& s) {
    std::string text;
    if (where.job_files_elsewhere)
        text += "Job files and " + s.log_name + " in " + where.job_dir +
                (where.installed_for_everyone ? " (the program is installed for everyone)\n"
                                              : " (the program's folder is read-only)\n");
    if (where.unguarded)
        text += "Kivo could not lock the application directory: another Kivo there could share its job files\n";
    if (s.report.files() > 0)
        text += s.report.summary() + "\n";
    if (!text.empty())
        text.pop_back();
    return text;
}

std::string idle_status() {
    return "Status: Idle";
}

std::string processing_status() {
    return "Status: Processing...";
}

std::string batch_note() {
    if (platform::converter_console_shown())
        return "Note:\rIf program appears to hang, check DOS window in taskbar for errors.";
    return "Note:\rIf program appears to hang, click stop.";
}

std::string count_caption(long long files, long long total) {
    const bool of_total = total > 0 && files <= total;
    return "Files processed: " + std::to_string(files) + (of_total ? " of " + std::to_string(total) : "");
}

std::string current_file_caption(const std::string& path) {
    return "File: " + path;
}

} // namespace mod_convert
