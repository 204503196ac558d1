#pragma once
// The files a converter writes of one input, as one set: every target checked first, each written
// to a new file beside it (NAME.kivo-XXXXXX, its owner's alone, as Kivo names its own), and all put
// in place only once every one is complete, with the mode and owner of the files they replace. On a
// failure, SIGTERM, SIGINT or SIGHUP the new files go and the earlier outputs stay as they were.
// Where Kivo names a folder for them (KIVO_OUTPUT_DIR), the outputs go there, for Kivo to put in place.

#include "kconv.h"

#include <string>
#include <vector>

namespace kconv {

class output_set {
public:
    explicit output_set(std::string input);
    ~output_set(); // without commit(): the new files go
    output_set(const output_set&) = delete;
    output_set& operator=(const output_set&) = delete;

    // A new output for `target`: never the input, never a link or a special file. Its number.
    std::size_t add(const std::string& target);
    void write(std::size_t output, const std::uint8_t* data, std::size_t size);
    void write(std::size_t output, const bytes& data) { write(output, data.data(), data.size()); }
    // Rewrites bytes already written (a header whose counts are known at the end).
    void write_at(std::size_t output, std::uint64_t offset, const bytes& data);
    // Every output is complete: all take their places.
    void commit();

private:
    struct file {
        std::string target, temp;
        int fd = -1;
    };
    [[noreturn]] void fail(const file& f, int error);
    void drop();
    std::string input_;
    std::vector<file> files_;
};

// NAME.kivo-XXXXXX beside `path`, NAME shortened (never inside a UTF-8 character) to keep the
// whole within 255 bytes.
std::string temporary_beside(const std::string& path);

} // namespace kconv
