#pragma once
// A converter's output as records of the single output file: each line prefixed with the input's
// name, every line end (LF, CR LF or a lone CR) made the platform's, a last line without one ended.
// Fed a block at a time, so that an output of any size streams through in constant memory.

#include <string>

namespace mod_convert {

class record_writer {
public:
    record_writer(std::string prefix, std::string line_end);
    // The records for the next block of output (a CR LF may be split between two blocks).
    std::string feed(const char* data, std::size_t size);
    std::string finish();

private:
    std::string prefix_, line_end_;
    bool at_line_start_ = true;
    bool after_cr_ = false;
};

} // namespace mod_convert
