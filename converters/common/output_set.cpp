#include "output_set.h"

#include "file_io.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kconv {

namespace fs = std::filesystem;

namespace {

// The new files being written, for the signal handler: removed if the converter is stopped. Changed
// only with the signals held back, so the handler never sees it half changed.
std::vector<std::string> pending;

extern "C" void remove_pending(int sig) {
    for (const std::string& name : pending)
        std::remove(name.c_str());
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Where an output goes: beside the input, or, when Kivo runs the converter, into the folder it names
// for them (it puts them in place itself once the job has succeeded).
std::string placed(const std::string& output) {
    const char* folder = std::getenv("KIVO_OUTPUT_DIR");
    if (!folder || !*folder)
        return output;
    return (fs::u8path(folder) / fs::u8path(output).filename()).u8string();
}

std::string name_of(const std::string& path) {
    return fs::u8path(path).filename().u8string();
}

} // namespace

std::string temporary_beside(const std::string& path) {
    static std::atomic<unsigned long long> counter{0};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    const std::string suffix = ".kivo-";
    const fs::path p = fs::u8path(path);
    std::string name = p.filename().u8string();
    if (name.size() + suffix.size() + 6 > 255) {
        name.resize(255 - suffix.size() - 6);
        while (!name.empty() && static_cast<unsigned char>(name.back()) >= 0x80)
            name.pop_back(); // never half a UTF-8 character
    }
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) +
                0x9E3779B97F4A7C15ull * ++counter;
    name += suffix;
    for (int i = 0; i < 6; ++i, seed /= 36)
        name += digits[seed % 36];
    return (p.parent_path() / fs::u8path(name)).u8string();
}

output_set::output_set(std::string input) : input_(std::move(input)) {
    os::on_stopping_signals(remove_pending);
}

output_set::~output_set() {
    drop();
}

std::size_t output_set::add(const std::string& output) {
    file f;
    f.target = placed(output);
    std::error_code ec;
    const auto status = fs::symlink_status(fs::u8path(f.target), ec);
    if (!ec && fs::exists(status)) {
        if (!fs::is_regular_file(status))
            throw error(name_of(f.target) + ": the output is a link or a special file");
        if (fs::equivalent(fs::u8path(input_), fs::u8path(f.target), ec))
            throw error(name_of(f.target) + ": output would overwrite the input");
    }
    for (int tries = 0; f.fd < 0 && tries < 100; ++tries) {
        f.temp = temporary_beside(f.target);
        f.fd = os::create_new(f.temp);
        if (f.fd < 0 && errno != EEXIST)
            break;
    }
    if (f.fd < 0)
        fail(f, errno);
    os::with_signals_held([&] {
        pending.push_back(f.temp);
        files_.push_back(f);
    });
    return files_.size() - 1;
}

void output_set::fail(const file& f, int error_number) {
    const std::string why = std::strerror(error_number);
    drop();
    throw error("cannot write " + name_of(f.target) + " (" + why + ")");
}

void output_set::write(std::size_t output, const std::uint8_t* data, std::size_t size) {
    if (!os::write_all(files_[output].fd, data, size))
        fail(files_[output], errno ? errno : ENOSPC);
}

void output_set::write_at(std::size_t output, std::uint64_t offset, const bytes& data) {
    if (!os::write_at(files_[output].fd, offset, data.data(), data.size()))
        fail(files_[output], errno ? errno : ENOSPC);
}

void output_set::commit() {
    for (file& f : files_) {
        os::take_final_mode(f.fd, f.target);
        const bool closed = os::close_file(f.fd);
        f.fd = -1;
        if (!closed)
            fail(f, errno);
    }
    for (const file& f : files_)
        if (!os::replace(f.temp, f.target))
            fail(f, errno);
    os::with_signals_held([this] {
        pending.clear();
        files_.clear();
    });
}

void output_set::drop() {
    os::with_signals_held([this] {
        for (const file& f : files_) {
            if (f.fd >= 0)
                os::close_file(f.fd);
            std::error_code ec;
            fs::remove(fs::u8path(f.temp), ec);
        }
        pending.clear();
        files_.clear();
    });
}

} // namespace kconv
