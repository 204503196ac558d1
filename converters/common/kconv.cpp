#include "kconv.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "file_io.h"
#include "output_set.h"

namespace kconv {
namespace fs = std::filesystem;

namespace {
const char* current_program = "";
std::string current_file;

// "PROGRAM: FILE: " in front of what a converter says; a converter of standard input names no file.
std::string said_by() {
    return std::string(current_program) + ": " + (current_file.empty() ? "" : current_file + ": ");
}
} // namespace

int run(const char* program, const std::string& file, const std::function<void()>& body) {
    os::binary_stdio();
    current_program = program;
    current_file = fs::path(file).filename().string();
    try {
        body();
        return 0;
    } catch (const std::exception& e) {
        std::cerr << said_by() << e.what() << std::endl;
        return 1;
    }
}

int standard_call(const char* program, const char* usage, int argc, char** argv, bool call_ok) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--help") {
        std::cout << usage;
        return 0;
    }
    if (first == "--version") {
        std::cout << program << " (Kivo) " << KIVO_VERSION << "\n";
        return 0;
    }
    if (call_ok)
        return -1;
    std::cerr << usage;
    return 2;
}

int convert_file_arg(const char* program, const char* usage, int argc, char** argv, bool call_ok,
                     const std::function<void(const std::string& input)>& convert) {
    if (const int done = standard_call(program, usage, argc, argv, call_ok && argc > 1); done >= 0)
        return done;
    const std::string input = argv[argc - 1];
    return run(program, input, [&] { convert(input); });
}

const char* kivo_version() {
    return KIVO_VERSION;
}

void write_result(const std::string& input, const std::string& output, const std::string& text) {
    if (output.empty()) {
        write_stdout(text);
        return;
    }
    output_set set(input);
    const std::size_t file = set.add(output);
    set.write(file, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    set.commit();
}

void warn(const std::string& message) {
    std::cerr << said_by() << message << std::endl;
}

namespace {

// A regular file opened to be read, and its size.
std::ifstream open_regular(const std::string& path, std::uintmax_t& size) {
    std::error_code ec;
    const auto p = fs::u8path(path);
    if (!fs::is_regular_file(p, ec))
        throw error("not a regular file");
    std::ifstream in(p, std::ios::binary);
    if (!in)
        throw error("cannot read the file");
    size = fs::file_size(p, ec);
    return in;
}

bytes rest_of(std::ifstream& in, bytes read_so_far) {
    read_so_far.insert(read_so_far.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return read_so_far;
}

} // namespace

bytes read_organiser_file(const std::string& path, const std::function<void(const bytes& head)>& check_head) {
    std::uintmax_t size = 0;
    std::ifstream in = open_regular(path, size);
    bytes head(64);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    // The later organisers (EPOC) begin every file with the UID 0x10000037 or 0x10000050.
    if (head.size() >= 4 && (get32(head, 0) == 0x10000037 || get32(head, 0) == 0x10000050))
        throw error("a Series 5 file; Kivo reads the files of the Series 3 family (3, 3a, 3c, 3mx, Siena)");
    check_head(head);
    if (size > organiser_file_limit)
        throw error("larger than any organiser could hold (" + std::to_string(size >> 20) + " MB; " +
                    std::to_string(organiser_file_limit >> 20) + " MB at most)");
    return rest_of(in, std::move(head));
}

std::function<void(const bytes&)> signature(std::string signature, std::string what) {
    return [signature, what](const bytes& head) {
        if (head.size() < signature.size() || std::memcmp(head.data(), signature.data(), signature.size()) != 0)
            throw error("not " + what + " (bad signature)");
    };
}

bytes read_file(const std::string& path) {
    std::uintmax_t size = 0;
    std::ifstream in = open_regular(path, size);
    return rest_of(in, {});
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

void write_outputs(const std::string& input, const std::vector<std::pair<std::string, bytes>>& outputs) {
    output_set set(input);
    for (const auto& output : outputs)
        set.add(output.first);
    for (std::size_t i = 0; i < outputs.size(); ++i)
        set.write(i, outputs[i].second);
    set.commit();
}

void write_output(const std::string& input, const std::string& output, const bytes& data) {
    write_outputs(input, {{output, data}});
}

} // namespace kconv
