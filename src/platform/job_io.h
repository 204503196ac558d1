#pragma once
// The files a job's converter reads and writes. An output takes the place of what lay there only
// when complete: until commit() the user's folder holds what it held before; after it, the new
// result. A temporary name left by a killed Kivo is NAME.kivo-XXXXXX beside the output.

#include <cstdint>
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
    // Once the job has ended: the paths its outputs will take, beside `path` (by_name).
    std::vector<std::string> produced() const;
    // Puts the outputs in place, each with the mode (and owner) of the file it replaces. Raises os_error.
    void commit();

    struct impl;

private:
    std::unique_ptr<impl> d;
};

// Whether `name` is one of Kivo's temporary names (NAME.kivo-XXXXXX).
bool temporary_kivo_name(const std::string& name);
// Removes what a killed Kivo left at `path` (POSIX: a new output never completed, or a converter's
// folder), unless a job is still at work on it. False when it stays.
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
