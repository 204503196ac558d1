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

std::size_t utf8_char_at(const std::string& text, std::size_t at, char32_t& code) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > text.size())
        return 0;
    code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    static const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= least[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    return valid ? length : 0;
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
