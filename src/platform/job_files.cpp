#include "platform/job_files.h"
#include "platform/job_files_shared.h"

#include "platform/conventions.h"
#include "platform/errors.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace platform::output_detail {

namespace fs = std::filesystem;

constexpr std::size_t name_max = 255;
const std::string marker = ".kivo-XXXXXX";

namespace {

bool lies_there(const std::string& path) {
    std::error_code ec;
    return fs::symlink_status(fs::u8path(path), ec).type() != fs::file_type::not_found && !ec;
}

} // namespace

std::string temporary_template(const std::string& path) {
    const auto cut = path.find_last_of(std::string("/") + native_separator());
    const std::string dir = cut == std::string::npos ? "" : path.substr(0, cut + 1);
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.size() + marker.size() > name_max) {
        name.resize(name_max - marker.size());
        while (!name.empty() && static_cast<unsigned char>(name.back()) >= 0x80)
            name.pop_back(); // never half a UTF-8 character
    }
    return dir + name + marker;
}

std::string temporary_name(const std::string& path) {
    static std::atomic<unsigned long long> counter{0};
    static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    auto seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) +
                0x9E3779B97F4A7C15ull * ++counter;
    std::string name = temporary_template(path);
    for (auto i = name.size() - 6; i < name.size(); ++i, seed /= 36)
        name[i] = digits[seed % 36];
    return name;
}

std::string set_aside(const std::string& path) {
    if (!lies_there(path))
        return {};
    for (int tries = 0; tries < 100; ++tries) {
        const std::string aside = temporary_name(path);
        if (lies_there(aside))
            continue;
        std::error_code ec;
        fs::rename(fs::u8path(path), fs::u8path(aside), ec);
        if (ec)
            throw os_error(ec.message());
        return aside;
    }
    throw os_error("no free temporary name beside the output");
}

void put_back(const std::string& aside, const std::string& path) {
    std::error_code ec;
    fs::remove(fs::u8path(path), ec);
    if (!aside.empty())
        fs::rename(fs::u8path(aside), fs::u8path(path), ec);
}

void let_go(const std::string& aside, const std::string& path) {
    if (aside.empty())
        return;
    std::error_code ec;
    if (lies_there(path))
        fs::remove(fs::u8path(aside), ec);
    else
        fs::rename(fs::u8path(aside), fs::u8path(path), ec);
}

} // namespace platform::output_detail

namespace platform {

namespace {

bool random_part(const std::string& name) {
    for (auto i = name.size() - 6; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])) && !std::islower(static_cast<unsigned char>(name[i])))
            return false;
    return true;
}

} // namespace

bool temporary_kivo_name(const std::string& name) {
    const std::string& marker = output_detail::marker;
    return name.size() > marker.size() && name.compare(name.size() - marker.size(), 6, ".kivo-") == 0 &&
           random_part(name);
}

bool temporary_name_of(const std::string& name, const std::string& output_name) {
    const std::string shape = output_detail::temporary_template(output_name);
    return name.size() == shape.size() && name.compare(0, shape.size() - 6, shape, 0, shape.size() - 6) == 0 &&
           random_part(name);
}

} // namespace platform
