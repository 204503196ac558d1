#include "convert/records.h"

namespace mod_convert {

record_writer::record_writer(std::string prefix, std::string line_end)
    : prefix_(std::move(prefix)), line_end_(std::move(line_end)) {}

std::string record_writer::feed(const char* data, std::size_t size) {
    std::string out;
    out.reserve(size + size / 8);
    for (const char* p = data; p != data + size; ++p) {
        const bool lf_of_crlf = after_cr_ && *p == '\n';
        after_cr_ = *p == '\r';
        if (lf_of_crlf)
            continue;
        if (at_line_start_)
            out += prefix_;
        at_line_start_ = *p == '\r' || *p == '\n';
        if (at_line_start_)
            out += line_end_;
        else
            out += *p;
    }
    return out;
}

std::string record_writer::finish() {
    return at_line_start_ ? std::string() : line_end_;
}

} // namespace mod_convert
