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
#include <sys/stat.h>
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

// The new files being written, for the signal handler: removed if the converter is stopped. Changed
// only with the signals blocked, so the handler never sees it half changed.
std::vector<std::string> pending_outputs;

extern "C" void remove_pending_outputs(int sig) {
    for (const std::string& name : pending_outputs)
        std::remove(name.c_str());
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Runs `change` on the pending list with the stopping signals held back.
void with_signals_held(const std::function<void()>& change) {
#ifdef _WIN32
    change();
#else
    sigset_t stopping, old;
    sigemptyset(&stopping);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopping, sig);
    sigprocmask(SIG_BLOCK, &stopping, &old);
    change();
    sigprocmask(SIG_SETMASK, &old, nullptr);
#endif
}

void handle_stopping_signals() {
    for (int sig : {SIGTERM, SIGINT})
        std::signal(sig, remove_pending_outputs);
#ifndef _WIN32
    std::signal(SIGHUP, remove_pending_outputs);
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit fails the write instead of killing us mid-file
#endif
}

// OUTPUT.tmp-N beside the output, the name shortened (never inside a UTF-8 character) so that the
// whole stays within 255 bytes whatever the output's name.
std::string temporary_beside(const std::string& output) {
    static std::mt19937 random{std::random_device{}()};
    const std::string suffix = ".tmp-" + std::to_string(random() % 1000000000u);
    const fs::path path = fs::u8path(output);
    std::string name = path.filename().u8string();
    if (name.size() + suffix.size() > 255) {
        name.resize(255 - suffix.size());
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0)
            name.pop_back();
    }
    return (path.parent_path() / fs::u8path(name + suffix)).u8string();
}

// A file that did not exist, readable by its owner alone until it takes its final mode: never a
// link's target, never someone else's file.
int create_new(const std::string& path) {
#ifdef _WIN32
    return _wopen(fs::u8path(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
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

// The mode (and owner) a new output takes: the earlier file's, or what the umask gives a new file.
void take_final_mode(int fd, const std::string& output) {
#ifdef _WIN32
    (void)fd;
    (void)output;
#else
    struct stat old {};
    if (::lstat(output.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        ::fchmod(fd, old.st_mode & 07777);
        return;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
#endif
}

int close_file(int fd) {
#ifdef _WIN32
    return _close(fd);
#else
    return ::close(fd);
#endif
}

// Where the outputs go: beside the input, or, when Kivo runs the converter, into the folder it names
// for them (it puts them in place itself once the job has succeeded).
std::string placed(const std::string& output) {
    const char* folder = std::getenv("KIVO_OUTPUT_DIR");
    if (!folder || !*folder)
        return output;
    return (fs::u8path(folder) / fs::u8path(output).filename()).u8string();
}

void check_target(const std::string& input, const std::string& output) {
    std::error_code ec;
    const auto status = fs::symlink_status(fs::u8path(output), ec);
    if (ec || !fs::exists(status))
        return;
    const std::string name = fs::u8path(output).filename().u8string();
    if (!fs::is_regular_file(status))
        throw error(name + ": the output is a link or a special file");
    if (fs::equivalent(fs::u8path(input), fs::u8path(output), ec))
        throw error(name + ": output would overwrite the input");
}

// The outputs' bytes by reference: a long recording is not copied to be written.
void write_every_output(const std::string& input, const std::vector<std::pair<std::string, const bytes*>>& outputs) {
    std::vector<std::string> targets, temps;
    for (const auto& output : outputs) {
        targets.push_back(placed(output.first));
        check_target(input, targets.back());
    }
    handle_stopping_signals();
    const auto drop_temps = [&temps] {
        with_signals_held([&temps] {
            for (const std::string& t : temps)
                std::remove(t.c_str());
            pending_outputs.clear();
        });
    };
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string name = fs::u8path(targets[i]).filename().u8string();
        std::string temp;
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 100; ++tries) {
            temp = temporary_beside(targets[i]);
            fd = create_new(temp);
        }
        if (fd < 0) {
            const int create_error = errno;
            drop_temps();
            throw error("cannot write " + name + " (" + std::strerror(create_error) + ")");
        }
        with_signals_held([&] {
            temps.push_back(temp);
            pending_outputs.push_back(temp);
        });
        bool ok = write_all(fd, *outputs[i].second);
        const int write_error = errno;
        take_final_mode(fd, targets[i]);
        ok = close_file(fd) == 0 && ok;
        if (!ok) {
            drop_temps();
            throw error("cannot write " + name + " (" + std::strerror(write_error) + ")");
        }
    }
    // Every output is complete: all of them take their places.
    for (std::size_t i = 0; i < temps.size(); ++i) {
        std::error_code ec;
        fs::rename(fs::u8path(temps[i]), fs::u8path(targets[i]), ec);
        if (ec) {
            drop_temps();
            throw error("cannot write " + fs::u8path(targets[i]).filename().u8string() + " (" + ec.message() + ")");
        }
    }
    with_signals_held([] { pending_outputs.clear(); });
}

} // namespace

void write_outputs(const std::string& input, const std::vector<std::pair<std::string, bytes>>& outputs) {
    std::vector<std::pair<std::string, const bytes*>> refs;
    for (const auto& [path, data] : outputs)
        refs.emplace_back(path, &data);
    write_every_output(input, refs);
}

void write_output(const std::string& input, const std::string& output, const bytes& data) {
    write_every_output(input, {{output, &data}});
}

} // namespace kconv
