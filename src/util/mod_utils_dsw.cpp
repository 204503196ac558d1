#include "util/mod_utils_dsw.h"

#include "platform/errors.h"
#include "platform/file_lookup.h"
#include "platform/short_path.h"

#include <cctype>
#include <filesystem>

namespace mod_utils_dsw {
namespace {

// The text after the last `mark`, or all of it when there is none.
std::string after_last(const std::string& s, char mark) {
    const auto pos = s.rfind(mark);
    return pos == std::string::npos ? s : s.substr(pos + 1);
}

} // namespace

std::string short_folder_path(const std::string& path) {
    return platform::short_folder_path(path);
}
std::string short_file_path(const std::string& path) {
    return platform::short_file_path(path);
}

std::string file_name_part(const std::string& s, char sep) {
    return after_last(s, sep);
}

std::string dir_part(const std::string& s, char sep) {
    const auto pos = s.rfind(sep);
    return pos == std::string::npos ? s : s.substr(0, pos + 1);
}

std::string strip_extension(const std::string& s) {
    const auto pos = s.rfind('.');
    return pos == std::string::npos ? s : s.substr(0, pos);
}

std::string extension_part(const std::string& s) {
    return after_last(s, '.');
}

std::string with_trailing_backslash(const std::string& s, char sep) {
    return (!s.empty() && s.back() == sep) ? s : s + sep;
}

void delete_if_exists(const std::string& path) {
    if (platform::plain_file_exists(path) && !remove_file(path))
        throw platform::os_error("cannot delete " + path);
}

bool remove_file(const std::string& path) {
    std::error_code ec;
    return std::filesystem::remove(std::filesystem::u8path(path), ec);
}

bool equals_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool same_file(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(std::filesystem::u8path(a), std::filesystem::u8path(b), ec) && !ec;
}

} // namespace mod_utils_dsw
