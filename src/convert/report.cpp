#include "convert/report.h"

#include "platform/errors.h"
#include "platform/native.h"
#include "util/mod_utils_dsw.h"

#include <sstream>

namespace mod_convert {

namespace {

bool is_control(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// A field never breaks the log's line into two, nor into more fields.
std::string field(const std::string& text) {
    std::string out;
    for (char c : text)
        out += is_control(c) ? (c == '\t' ? ' ' : '?') : c;
    return out;
}

// A converter's line as readable text: a tab is a blank, other control bytes (colours, bells) go.
std::string readable(const std::string& line) {
    std::string out;
    for (char c : line)
        if (!is_control(c) || c == '\t')
            out += c == '\t' ? ' ' : c;
    return out;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// "dbf2tsv: people.dbf: 3 fields cut" says no more in the log's line for people.dbf than "3 fields cut".
std::string without_echo(std::string line, const std::string& converter, const std::string& input) {
    const auto cut = [&line](const std::string& word) {
        if (!word.empty() && line.compare(0, word.size() + 1, word + ":") == 0) {
            line = trimmed(line.substr(word.size() + 1));
            return true;
        }
        return false;
    };
    if (cut(converter) && !cut(mod_utils_dsw::file_name_part(input)) && !cut(input) && line.rfind(':', 0) == 0)
        line = trimmed(line.substr(1)); // an empty file name
    return line;
}

} // namespace

std::string error_fields(const std::string& error_output, const std::string& converter, const std::string& input) {
    constexpr std::size_t ring = 4096; // a full ring lost the start of its first line
    std::istringstream lines(error_output);
    std::string fields;
    bool first = true;
    for (std::string line; std::getline(lines, line, '\n'); first = false) {
        line = trimmed(readable(line));
        if (first && error_output.size() >= ring && !line.empty())
            line = "..." + line;
        line = without_echo(line, converter, input);
        if (!line.empty())
            fields += (fields.empty() ? "" : "\t") + line;
    }
    return fields;
}

void batch_report::start(const std::string& log_path) {
    *this = batch_report();
    log_path_ = log_path;
}

void batch_report::add(outcome kind, const std::string& path, const std::string& reason,
                       const std::string& error_output, const std::string& converter) {
    static const char* const words[] = {"converted", "warning", "failed", "skipped"};
    switch (kind) {
    case outcome::warning:
        ++warnings_;
        [[fallthrough]];
    case outcome::converted:
        ++converted_;
        break;
    case outcome::failed:
        ++failed_;
        break;
    case outcome::skipped:
        ++skipped_;
        break;
    }
    if (kind == outcome::converted)
        return;
    const std::string details = error_fields(error_output, converter, path);
    write(field(path) + "\t" + words[static_cast<int>(kind)] + "\t" + field(reason) +
          (details.empty() ? "" : "\t" + details));
}

void batch_report::finish() {
    if (!log_)
        return;
    write(summary());
    try {
        log_->close();
    } catch (const platform::os_error& e) {
        if (log_problem_.empty())
            log_problem_ = e.what();
    }
    log_.reset();
}

std::string batch_report::summary() const {
    return "converted " + std::to_string(converted_) + ", with warnings " + std::to_string(warnings_) + ", failed " +
           std::to_string(failed_) + ", skipped " + std::to_string(skipped_);
}

void batch_report::write(const std::string& line) {
    if (!log_problem_.empty())
        return;
    try {
        if (!log_) {
            log_ = std::make_unique<platform::text_appender>(log_path_);
            // Notepad reads a file without this mark in the ANSI code page.
            if (platform::native_dialect() == platform::shell_dialect::windows_cmd)
                log_->write("\xEF\xBB\xBF");
        }
        log_->write(line + platform::native_line_end());
        ++entries_;
    } catch (const platform::os_error& e) {
        log_problem_ = e.what();
    }
}

} // namespace mod_convert
