#include "convert/records.h"

#include <algorithm>

namespace mod_convert {

record_writer::record_writer(std::string prefix, std::string line_end)
    : prefix_(std::move(prefix)), line_end_(std::move(line_end)) {}

std::string record_writer::feed(const char* data, std::size_t size) {
    std::string out;
    out.reserve(size + size / 8);
    const char* const end = data + size;
    for (const char* p = data; p != end;) {
        if (after_cr_ && *p == '\n') { // the LF of a CR LF
            after_cr_ = false;
            ++p;
            continue;
        }
        if (at_line_start_)
            out += prefix_;
        const char* stop = std::find_if(p, end, [](char c) { return c == '\r' || c == '\n'; });
        out.append(p, stop);
        at_line_start_ = stop != end;
        after_cr_ = at_line_start_ && *stop == '\r';
        if (at_line_start_) {
            out += line_end_;
            ++stop;
        }
        p = stop;
    }
    return out;
}

std::string record_writer::finish() {
    return at_line_start_ ? std::string() : line_end_;
}

} // namespace mod_convert
