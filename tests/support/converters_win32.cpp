#include "converters.h"

#include <filesystem>
#include <windows.h>

namespace kivo_test {
namespace {

// The fake converter program is built beside the test program.
std::string fake_converter_program() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string path(self, n);
    return path.substr(0, path.find_last_of('\\') + 1) + "kivo_fake_converter.exe";
}

} // namespace

void write_recording_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                               int exit_code) {
    const std::string base = app_dir + "\\" + name;
    std::filesystem::copy_file(fake_converter_program(), base + ".exe",
                               std::filesystem::copy_options::overwrite_existing);
    write_file(base + ".out", output);
    write_file(base + ".exit", std::to_string(exit_code));
}

} // namespace kivo_test
