#pragma once
// The frame of every run: what the window shows, the snapshot of its choices, the log, clean-up,
// and the failures that the final status reports.

#include <functional>
#include <string>

namespace mod_convert {

void begin_batch();
void end_batch();

// begin_batch, the body, end_batch; an error that escapes the body stops it and shows in the status.
void run_batch(const std::function<void()>& body);

// convert_file for one file of a batch; its error is recorded and the batch goes on.
void convert_in_batch(const std::string& path);

void record_failure(const std::string& path, const std::string& reason);

std::string conversion_log_path();

} // namespace mod_convert
