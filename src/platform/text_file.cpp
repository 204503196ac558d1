#include "platform/text_file.h"

#include "platform/errors.h"

#include <filesystem>
#include <fstream>

namespace platform {

void read_blocks(const std::string& path, const std::function<void(const char*, std::size_t)>& block) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        throw os_error("file not found");
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (in.gcount() > 0)
            block(buffer.data(), static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad())
        throw os_error("cannot read " + path);
}

} // namespace platform
