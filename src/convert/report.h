#pragma once
// What a batch tells the user about its files: how many met each end, and the conversion log, one
// line for each file that needs a look (full path, outcome, reason, the converter's error output).

#include "platform/text_file.h"

#include <memory>
#include <string>

namespace mod_convert {

enum class outcome { converted, warning, failed, skipped };

class batch_report {
public:
    // Forgets the last batch; the log goes to `log_path`, created with the first line it needs.
    void start(const std::string& log_path);
    // `error_output`: what the converter wrote to its standard error; `converter` and `input` are
    // the words it repeats at the start of each line.
    void add(outcome kind, const std::string& path, const std::string& reason, const std::string& error_output = {},
             const std::string& converter = {});
    // Writes the summing-up line under the entries and closes the log.
    void finish();

    int files() const { return converted_ + failed_ + skipped_; }
    bool logged() const { return entries_ > 0; }
    // What needs a look, in words: "1 file failed, 2 files skipped"; empty when nothing does.
    std::string trouble() const;
    // "converted N, with warnings W, failed F, skipped S"
    std::string summary() const;
    // Why the log could not be written, empty when it could.
    const std::string& log_problem() const { return log_problem_; }

private:
    void write(const std::string& line);
    std::string log_path_;
    std::unique_ptr<platform::text_appender> log_;
    std::string log_problem_;
    int converted_ = 0, warnings_ = 0, failed_ = 0, skipped_ = 0, entries_ = 0;
};

// A converter's error output as the log's fields: a line each, control bytes gone, the converter's
// name and the input's name it repeats in front cut off.
std::string error_fields(const std::string& error_output, const std::string& converter, const std::string& input);

} // namespace mod_convert
