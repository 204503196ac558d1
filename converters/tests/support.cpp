#include "support.h"

#include <cstdio>
#include <sstream>

namespace converter_tests {

std::string program(const std::string& name) {
    return std::string(KIVO_PROGRAM_DIR) + "/" + name;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void spit(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string as_text(const bytes& b) {
    return std::string(b.begin(), b.end());
}

bool sanitized() {
#ifdef KIVO_SANITIZED
    return true;
#else
    return false;
#endif
}

bool have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

run_result run_limited(const std::vector<std::string>& args, const fs::path& file, bool on_stdin, const fs::path& out) {
    std::string line = "'" + std::string(KIVO_MEASURE) + "' '" + (on_stdin ? file.string() : "/dev/null") + "' '" +
                       out.string() + "' '" + out.string() + ".err'";
    for (const auto& a : args)
        line += " '" + a + "'";
    if (!on_stdin)
        line += " '" + file.string() + "'";
    std::istringstream figures(slurp_command(line));
    run_result r{-1, 0, 0, 0};
    figures >> r.code >> r.cpu_seconds >> r.peak_kb;
    std::error_code ec;
    r.out_size = static_cast<std::size_t>(fs::file_size(out, ec));
    return r;
}

std::string slurp_command(const std::string& line) {
    std::string text;
    if (FILE* p = ::popen(line.c_str(), "r")) {
        char buffer[256];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;)
            text.append(buffer, n);
        ::pclose(p);
    }
    return text;
}

fs::path real(const std::string& name) {
    return fs::path(KIVO_REAL_DATA) / name;
}

} // namespace converter_tests
