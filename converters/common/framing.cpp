#include "framing.h"

namespace kconv {

std::vector<framed_record> framed_records(const bytes& file, std::size_t first) {
    std::vector<framed_record> out;
    for (std::size_t at = first; at < file.size();) {
        const std::uint16_t frame = get16(file, at);
        const framed_record r{static_cast<unsigned>(frame >> 12), at, at + 2, frame & 0x0FFFu};
        if (r.at + r.size > file.size())
            throw error("the record at offset " + std::to_string(at) + " runs past the end of the file");
        out.push_back(r);
        at = r.at + r.size;
    }
    return out;
}

} // namespace kconv
