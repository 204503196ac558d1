#pragma once
// Kivo's own text files: the job script, and the single output file that records are appended to.
// Neither is ever opened through a link or waited on as a FIFO.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Creates the file or rewrites it in place (no truncation to zero first, which some file systems
// flush on close), each line with the platform's line end (CR LF on Windows, LF on POSIX).
void write_text_lines(const std::string& path, const std::vector<std::string>& lines);

// Appends to a plain file, creating it when missing. Unless close() succeeds, the file is cut back
// to the size it had when opened: a failed or stopped append leaves no half record.
class text_appender {
public:
    explicit text_appender(const std::string& path); // raises os_error
    ~text_appender();
    text_appender(const text_appender&) = delete;
    text_appender& operator=(const text_appender&) = delete;
    // Raises os_error with the OS's words ("disk full" where the disk is).
    void write(const std::string& text);
    void close(); // raises os_error when the data could not be written

    struct impl;

private:
    std::unique_ptr<impl> d;
};

// Calls `block` with the file's content, a block at a time. Raises os_error.
void read_blocks(const std::string& path, const std::function<void(const char*, std::size_t)>& block);

} // namespace platform
