#pragma once
// The files a job's converter reads and writes. An output takes the place of what lay there only
// when complete: until commit() the user's folder holds what it held before; after it, the new
// result. A temporary name left by a killed Kivo is NAME.kivo-XXXXXX beside the output.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class output_file {
public:
    enum class how {
        // The converter's standard output. POSIX: a new file beside `path`, never opened through a
        // link, renamed over `path` by commit(). Windows (the job script redirects by name): as by_name.
        standard_output,
        // The converter writes its outputs itself. POSIX: into a new folder beside `path` that it
        // is told of (KIVO_OUTPUT_DIR), all of them moved in by commit(); what lay there is never
        // touched before. Windows (and the job script's redirection): it writes `path` by name,
        // what lay there is moved aside, and put back unless commit() runs.
        by_name,
        // Kivo's scratch output, emptied in place; never a link or a special file.
        scratch,
    };
    output_file(const std::string& path, how h); // raises os_error with the OS's words
    ~output_file();                              // without commit(): the folder as it was
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;

    // For the job's standard output; -1 where the job script redirects it.
    std::intptr_t handle() const;
    // Where the converter writes its outputs (POSIX, by_name), else empty.
    std::string folder() const;
    // One file the converter left in its folder, and the path it would take beside `path`.
    struct produced_file {
        std::string name;
        std::string path;
        std::string problem; // empty for a plain file with one link; else what it is ("a link", ...)
    };
    // Once the job has ended: everything the converter left (by_name; POSIX), in name order.
    std::vector<produced_file> produced() const;
    // Puts the outputs in place, each with the mode (and owner) of the file it replaces, all or none:
    // when one cannot take its place, or `now_and_then` (run every few hundred files) raises, those
    // already in place go back and what they replaced returns. Raises os_error.
    void commit(const std::function<void()>& now_and_then = {});
    // Removes what the converter left, running `now_and_then` every few hundred files; the rest
    // goes when this ends. For a job that failed or was stopped.
    void discard(const std::function<void()>& now_and_then);

    struct impl;

private:
    std::unique_ptr<impl> d;
};

// Reads the settings a new output takes its mode from (POSIX: the umask) once, for the batch about to
// start: they do not change while it runs.
void note_output_settings();

// Whether `name` is one of Kivo's temporary names (NAME.kivo-XXXXXX).
bool temporary_kivo_name(const std::string& name);
// Whether `name` is a temporary name Kivo gives beside an output named `output_name`.
bool temporary_name_of(const std::string& name, const std::string& output_name);
// Removes what a killed Kivo left at `path`, only when it can show that it made it: POSIX, a new
// output never completed or a converter's folder of plain files, the user's own, with the mode and
// the mark Kivo gives them, and no job still at work on it. False when it stays, untouched.
bool remove_leftover(const std::string& path);

// The input for a converter that reads its standard input. POSIX: opened once, as a plain file,
// without waiting on a FIFO. Windows: the job script redirects it by name.
class input_file {
public:
    explicit input_file(const std::string& path); // raises os_error
    ~input_file();
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;
    std::intptr_t handle() const; // -1 where the job script redirects it

private:
    std::intptr_t handle_ = -1;
};

} // namespace platform
