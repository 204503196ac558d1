#pragma once
// A fresh directory for one test, removed with everything in it afterwards.

#include <string>

namespace kivo_test {

class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with the parts by the native separator
    std::string operator/(const std::string& relative) const;

private:
    std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content);
void make_dir(const std::string& path);
bool exists(const std::string& path);

} // namespace kivo_test
