#include "converters.h"

#include <filesystem>
#include <windows.h>

namespace kivo_test {
namespace {

// The fake converter program is built beside the test program.
std::filesystem::path fake_converter_program() {
    wchar_t self[MAX_PATH];
    const std::filesystem::path path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    return path.parent_path() / "kivo_fake_converter.exe";
}

} // namespace

void write_recording_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                               int exit_code) {
    const std::string base = app_dir + "\\" + name;
    std::filesystem::copy_file(fake_converter_program(), std::filesystem::u8path(base + ".exe"),
                               std::filesystem::copy_options::overwrite_existing);
    write_file(base + ".out", output);
    write_file(base + ".exit", std::to_string(exit_code));
}

void write_converter(const std::string& app_dir, const std::string& name, const std::string& body) {
    std::string script = "@echo off\r\n";
    for (char c : body)
        script += c == '\n' ? std::string("\r\n") : std::string(1, c);
    write_file(app_dir + "\\" + name + ".bat", script);
}

void write_waiting_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                             int wait_ms, const std::string& pid_file) {
    write_recording_converter(app_dir, name, output, 0);
    write_file(app_dir + "\\" + name + ".wait", std::to_string(wait_ms));
    if (!pid_file.empty())
        write_file(app_dir + "\\" + name + ".pid", pid_file);
}

bool process_ended(const std::string& pid_file) {
    const DWORD pid = static_cast<DWORD>(std::stoul(read_file(pid_file)));
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return true;
    const bool ended = WaitForSingleObject(process, 1000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

long peak_rss_kb() {
    return -1;
}

platform::job_command script_job(const std::string& script) {
    platform::job_command job;
    job.script = script;
    return job;
}

} // namespace kivo_test
