#pragma once
// The frame of every run: what the window shows, the snapshot of its choices, the conversion log,
// clean-up, and the final status. The batch records how each file it met ended, here alone.

#include "convert/convert_file.h"
#include "convert/main_window.h"
#include "convert/report.h"
#include "convert/status_text.h"
#include "platform/dir_lock.h"

#include <functional>
#include <optional>
#include <string>

namespace mod_convert {

// One run, from begin_batch to end_batch.
struct batch {
    explicit batch(main_window& w); // job files in the application directory
    main_window& window;
    std::string job_dir;   // where the job script and the scratch output go
    batch_choices choices; // taken at begin_batch; the batch reads nothing else of the window's
    batch_report report;
    batch_end end;
    int total = 0;          // the files the batch will meet, where known before the first; else 0
    std::string looked_for; // a directory batch's "PATTERN in FOLDER", for a batch that met no file
    output_claims claims;
    std::optional<job_plan> plan; // made when the batch starts converting
    // From the moment the batch's files are known to its end: no other Kivo shares its job files.
    platform::dir_lock app_lock, job_lock;
    enum class claim_state { untried, claimed, refused } claim = claim_state::untried;
    bool unguarded = false;  // the OS could not lock the application directory
    bool converting = false; // begin_converting has let it start
};

void begin_batch(batch& b);
void end_batch(batch& b);

// begin_batch, the body, end_batch. An error that escapes the body stops it and shows in the status.
void run_batch(main_window& window, const std::function<void(batch&)>& body);

// Once the batch's files are known: locks the job files against a second Kivo, clears what an
// earlier batch left and shows "stop". False (with the end recorded) when the batch cannot convert.
bool begin_converting(batch& b);

// convert_file for one file of a batch, and its end recorded; the batch goes on. Raises
// batch_stopped once the user has asked to stop, when the batch cannot convert, or when a failed
// append ends it.
void convert_in_batch(batch& b, const std::string& path);

// One thing the batch met and how it ended: counted, and logged unless it simply converted.
void record_outcome(batch& b, outcome kind, const std::string& path, const std::string& reason = {},
                    const std::string& error_output = {});
// A long step (an append, counting a large tree) lets the window repaint; raises batch_stopped
// once the user has asked to stop.
void keep_window_alive(batch& b);
// The files the batch is about to meet, shown beside the count while it runs.
void set_total(batch& b, int total);
// Adds one to the count and shows it.
void count_processed_file(batch& b);

// Beside the program, or in the per-user folder where the job files go.
std::string conversion_log_path();

} // namespace mod_convert
