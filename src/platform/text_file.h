#pragma once
// Text files in the platform's line ends (CR LF on Windows, LF on POSIX).

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Creates the file or rewrites it in place (no truncation to zero first, which some file systems
// flush on close), each line with its line end. A link in the path's place is not written through.
void write_text_lines(const std::string& path, const std::vector<std::string>& lines);

// Opens a file for appending lines, creating it when missing.
class text_appender {
public:
    explicit text_appender(const std::string& path);
    ~text_appender();
    text_appender(const text_appender&) = delete;
    text_appender& operator=(const text_appender&) = delete;
    void write_line(const std::string& line);
    void close(); // raises os_error when the data could not be written

private:
    struct impl;
    std::unique_ptr<impl> d;
};

// Calls `line` for each line; LF, CR LF and a lone CR end a line, and a last line without an end counts.
void read_text_lines(const std::string& path, const std::function<void(const std::string&)>& line);

} // namespace platform
