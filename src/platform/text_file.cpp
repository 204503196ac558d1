#include "platform/text_file.h"

#include "platform/errors.h"
#include "platform/native.h"

#include <filesystem>
#include <fstream>

namespace platform {

struct text_appender::impl {
    std::ofstream out;
};

text_appender::text_appender(const std::string& path) : d(std::make_unique<impl>()) {
    d->out.open(std::filesystem::u8path(path), std::ios::binary | std::ios::app);
    if (!d->out)
        throw os_error("cannot open the output file");
}

text_appender::~text_appender() = default;

void text_appender::write_line(const std::string& line) {
    d->out << line << native_line_end();
}

void text_appender::close() {
    d->out.close();
    if (!d->out)
        throw os_error("cannot write the output file");
}

void read_text_lines(const std::string& path, const std::function<void(const std::string&)>& line) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in)
        throw os_error("file not found");
    std::string current;
    bool pending = false;
    for (int c = in.get(); c != EOF; c = in.get()) {
        if (c == '\r' || c == '\n') {
            line(current);
            current.clear();
            pending = false;
            if (c == '\r' && in.peek() == '\n')
                in.get();
            continue;
        }
        current.push_back(static_cast<char>(c));
        pending = true;
    }
    if (pending)
        line(current);
}

} // namespace platform
