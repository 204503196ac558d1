#include "convert/report.h"

#include "platform/conventions.h"
#include "platform/errors.h"
#include "platform/file_lookup.h"
#include "util/mod_utils_dsw.h"

#include <sstream>

namespace mod_convert {

namespace {

// Characters that end a line, or act on the terminal, in some viewer: C0 and C1 controls, and the
// line and paragraph separators.
bool is_control(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Text as a log field: valid UTF-8 whatever the bytes (one that starts no character shows as \xE9),
// a tab a blank, every other control character `control` (say "?", or nothing).
std::string log_text(const std::string& text, const char* control) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        char32_t code = 0;
        const std::size_t length = mod_utils_dsw::utf8_char_at(text, at, code);
        if (length == 0) {
            static const char hex[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(text[at++]);
            out += std::string("\\x") + hex[b >> 4] + hex[b & 0xF];
            continue;
        }
        if (code == '\t')
            out += ' ';
        else if (is_control(code))
            out += control;
        else
            out.append(text, at, length);
        at += length;
    }
    return out;
}

// A field never breaks the log's line into two, nor into more fields.
std::string field(const std::string& text) {
    return log_text(text, "?");
}

// A converter's line as readable text: a tab is a blank, other control characters (colours, bells) go.
std::string readable(const std::string& line) {
    return log_text(line, "");
}

// What lies where the log should be, in words, or the OS's.
std::string why_unwritable(const std::string& path, const std::string& os_words) {
    const std::string name = mod_utils_dsw::file_name_part(path, platform::native_separator());
    switch (platform::inspect_path(path, false).kind) {
    case platform::path_kind::directory:
        return name + " is a folder";
    case platform::path_kind::link:
        return name + " is a link";
    case platform::path_kind::special:
        return name + " is not a plain file";
    default:
        return name + ": " + os_words;
    }
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

std::string batch_report::trouble() const {
    const auto files = [](int n) { return std::to_string(n) + (n == 1 ? " file " : " files "); };
    std::string text;
    const auto add = [&text](int n, const std::string& words) {
        if (n > 0)
            text += (text.empty() ? "" : ", ") + words;
    };
    add(failed_, files(failed_) + "failed");
    add(skipped_, files(skipped_) + "skipped");
    add(warnings_, files(warnings_) + "converted with warnings");
    return text;
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
            log_->write(platform::text_file_mark());
        }
        log_->write(line + platform::native_line_end());
        ++entries_;
    } catch (const platform::os_error& e) {
        log_problem_ = why_unwritable(log_path_, e.what());
    }
}

} // namespace mod_convert
