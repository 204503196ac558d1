#include "kconv.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include <csignal>
#include <cstring>
#include <random>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

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

int convert_beside(const char* program, const char* usage, int argc, char** argv, bool call_ok,
                   const std::function<std::pair<std::string, bytes>(const bytes& input)>& convert) {
    return convert_file_arg(program, usage, argc, argv, call_ok, [&](const std::string& input) {
        const auto [ext, data] = convert(read_file(input));
        write_output(input, beside(input, ext), data);
    });
}

void warn(const std::string& message) {
    std::cerr << said_by() << message << std::endl;
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

namespace {

// The new file being written, for the signal handler: removed if the converter is stopped.
char pending_output[4096];

extern "C" void remove_pending_output(int sig) {
    if (pending_output[0])
        std::remove(pending_output);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string temporary_beside(const std::string& output) {
    static std::mt19937 random{std::random_device{}()};
    return output + ".tmp-" + std::to_string(random() % 1000000000u);
}

// A file that did not exist: never a link's target, never someone else's file.
int create_new(const std::string& path) {
#ifdef _WIN32
    return _wopen(fs::u8path(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
#endif
}

bool write_all(int fd, const bytes& data) {
    for (std::size_t done = 0; done < data.size();) {
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(data.size() - done, 1u << 20));
#ifdef _WIN32
        const int n = _write(fd, data.data() + done, chunk);
#else
        const auto n = ::write(fd, data.data() + done, chunk);
#endif
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void write_output(const std::string& input, const std::string& output, const bytes& data) {
    std::error_code ec;
    const auto status = fs::symlink_status(output, ec);
    const std::string name = fs::path(output).filename().string();
    if (!ec && fs::exists(status)) {
        if (!fs::is_regular_file(status))
            throw error("the output is a link or a special file");
        if (fs::equivalent(input, output, ec))
            throw error("output would overwrite the input");
    }
    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        temp = temporary_beside(output);
        fd = create_new(temp);
    }
    if (fd < 0 || temp.size() >= sizeof pending_output)
        throw error("cannot write " + name + " (" + std::strerror(errno) + ")");
    std::strcpy(pending_output, temp.c_str());
    std::signal(SIGTERM, remove_pending_output);
    std::signal(SIGINT, remove_pending_output);
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit fails the write instead of killing us mid-file
#endif
    bool ok = write_all(fd, data);
    const int write_error = errno;
#ifdef _WIN32
    ok = _close(fd) == 0 && ok;
#else
    ok = ::close(fd) == 0 && ok;
#endif
    if (ok)
        fs::rename(fs::u8path(temp), fs::u8path(output), ec);
    if (!ok || ec)
        std::remove(temp.c_str());
    pending_output[0] = '\0';
    if (!ok)
        throw error("cannot write " + name + " (" + std::strerror(write_error) + ")");
    if (ec)
        throw error("cannot write " + name + " (" + ec.message() + ")");
}

} // namespace kconv
