#pragma once
// How converting one file can end other than converted: one type for each, raised by the per-file
// step and recorded by the batch.

#include <stdexcept>
#include <string>
#include <utility>

namespace mod_convert {

// The file failed; the message says why, without the file's name.
class conversion_error : public std::runtime_error {
public:
    explicit conversion_error(const std::string& reason, std::string error_output = {})
        : std::runtime_error(reason), error_output_(std::move(error_output)) {}
    // What the converter wrote to its standard error, where it ran.
    const std::string& error_output() const { return error_output_; }

private:
    std::string error_output_;
};

// A file Kivo does not hand to its converter: skipped rather than failed.
class refusal : public conversion_error {
public:
    using conversion_error::conversion_error;
};

// The single output file could not take the file's records (a full disk): the file fails, and the
// batch stops, since every later file would meet the same.
class append_failure : public conversion_error {
public:
    using conversion_error::conversion_error;
};

// The user asked to stop.
struct batch_stopped {};

} // namespace mod_convert
