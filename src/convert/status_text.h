#pragma once
// Every text a batch shows in the window: the status line and its tool tip, the count, the current
// file, the note. Worded here and nowhere else; the engine records what happened (batch_end) where it
// happens.

#include "convert/report.h"

#include <string>

namespace mod_convert {

// How a batch ended: its kind, and what the words need (a file's name, a pattern, a reason).
struct batch_end {
    enum class kind {
        finished,                 // every file it met went through it
        stopped,                  // the user stopped it
        stopped_by_error,         // an error outside any file: `detail`
        append_failed,            // `subject` could not be added to the single output file, `detail` why
        invalid_filename_pattern, // `subject`: the pattern
        invalid_output_pattern,   // `subject`: the pattern
        single_output_refused,    // `subject`: its name; `detail`: why (own_file_reason: a file Kivo uses)
        job_file_not_plain,       // `subject`: its name
        another_kivo,             // another Kivo converts with this application directory
    };
    kind what = kind::finished;
    std::string subject, detail;
    std::string single_output_name; // for append_failed
};

// What the end of a batch is worded from.
struct batch_summary {
    const batch_end& end;
    const batch_report& report;
    std::string log_name;   // kivo.log
    bool log_exists;        // a log lies there now (the batch's, or one a converter wrote)
    std::string looked_for; // a directory batch's "PATTERN in FOLDER"
};
std::string final_status(const batch_summary& s);

// The status line's tool tip: where the job files went and why, whether the folder could be locked,
// and the batch's sum.
struct batch_whereabouts {
    bool job_files_elsewhere = false; // in the per-user folder
    bool installed_for_everyone = false;
    std::string job_dir;
    bool unguarded = false;
};
std::string status_tooltip(const batch_whereabouts& where, const batch_summary& s);

std::string idle_status();
std::string processing_status();
// The note shown while a batch runs (where the converter's console can be looked at, if anywhere).
std::string batch_note();
// "Files processed: N", with " of TOTAL" while the total is known and not passed.
std::string count_caption(long long files, long long total);
std::string current_file_caption(const std::string& path);

} // namespace mod_convert
