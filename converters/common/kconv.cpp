#include "kconv.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace kconv {
namespace fs = std::filesystem;

namespace {
const char* current_program = "";
std::string current_file;
} // namespace

int run(const char* program, const std::string& file, const std::function<void()>& body) {
#ifdef _WIN32
    // Bytes through unchanged: the converters choose their own line ends.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    current_program = program;
    current_file = fs::path(file).filename().string();
    try {
        body();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << program << ": " << (current_file.empty() ? "" : current_file + ": ") << e.what() << std::endl;
        return 1;
    }
}

int convert_beside(const char* program, const char* usage, int argc, char** argv,
                   const std::function<std::pair<std::string, bytes>(const bytes& input)>& convert) {
    const std::string input = argc > 1 ? argv[argc - 1] : "";
    return run(program, input, [&] {
        if (argc < 2)
            throw error(std::string("usage: ") + usage);
        const auto [ext, data] = convert(read_file(input));
        write_output(input, beside(input, ext), data);
    });
}

void warn(const std::string& message) {
    std::cerr << current_program << ": " << current_file << ": " << message << std::endl;
}

bytes read_file(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec))
        throw error("not a regular file");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw error("cannot read the file");
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string read_stdin() {
    std::ios::sync_with_stdio(false);
    return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

void write_stdout(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (std::fflush(stdout) != 0)
        throw error("cannot write the output");
}

std::uint16_t get16(const bytes& data, std::size_t at) {
    if (at + 2 > data.size())
        throw error("the file ends too early");
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
}

std::uint32_t get32(const bytes& data, std::size_t at) {
    return get16(data, at) | static_cast<std::uint32_t>(get16(data, at + 2)) << 16;
}

void put16(bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(bytes& out, std::uint32_t value) {
    put16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(value >> 16));
}

std::string beside(const std::string& input, const std::string& ext) {
    fs::path path(input);
    return path.replace_extension(ext).string();
}

void write_output(const std::string& input, const std::string& output, const bytes& data) {
    std::error_code ec;
    const auto status = fs::symlink_status(output, ec);
    if (!ec && fs::exists(status)) {
        if (!fs::is_regular_file(status))
            throw error("the output is a link or a special file");
        if (fs::equivalent(input, output, ec))
            throw error("output would overwrite the input");
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out)
        throw error("cannot write " + fs::path(output).filename().string());
}

} // namespace kconv
