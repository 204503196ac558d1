#include "temp_dir.h"

#include "platform/conventions.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace kivo_test {

temp_dir::temp_dir() {
    std::random_device random;
    for (;;) {
        const fs::path candidate = fs::temp_directory_path() / ("kivo-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = candidate.string();
            return;
        }
    }
}

temp_dir::~temp_dir() {
    std::error_code ec;
    // Tests take rights away from directories; give them back so that everything can go.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string temp_dir::operator/(const std::string& relative) const {
    return path_ + platform::native_separator() + relative;
}

std::string read_file(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void write_file(const std::string& path, const std::string& content) {
    std::ofstream(fs::u8path(path), std::ios::binary) << content;
}

void make_dir(const std::string& path) {
    fs::create_directories(fs::u8path(path));
}

bool exists(const std::string& path) {
    return fs::exists(fs::u8path(path));
}

} // namespace kivo_test
