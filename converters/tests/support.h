#pragma once
// What the converters' tests share: the programs as a build puts them, files in and out, runs with a
// time limit and their cost, and the fixture of a fresh folder each test works in.

#include "alaw.h"
#include "fields.h"
#include "kconv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace converter_tests {

namespace fs = std::filesystem;
using kconv::bytes;

// A converter's path beside the kivo program.
std::string program(const std::string& name);
std::string slurp(const fs::path& path);
void spit(const fs::path& path, const std::string& text);
std::string as_text(const bytes& b);
// Sanitizers make programs slower and larger: the timing and memory tests do not hold there.
bool sanitized();
bool have(const char* tool);
// A genuine organiser file, where the project's shared folder keeps it.
fs::path real(const std::string& name);

struct run_result {
    int code; // 128 + n for a signal, -1 for a hang
    std::size_t out_size;
    double cpu_seconds; // its own time on the processor, whatever else the machine runs
    long peak_kb;
};

// Runs a converter on `file` (or on its standard input) with a time limit, through a small program of
// its own that measures it; its error output goes to OUT.err.
run_result run_limited(const std::vector<std::string>& args, const fs::path& file, bool on_stdin, const fs::path& out);
// What a shell command line prints on standard output.
std::string slurp_command(const std::string& line);

class Converters : public ::testing::Test {
protected:
    fs::path dir = fs::temp_directory_path() / ("kivo-conv-" + std::to_string(std::random_device()()));
    Converters() { fs::create_directories(dir); }
    ~Converters() override { fs::remove_all(dir); }

    struct result {
        int code;
        std::string out, err;
    };
    // Runs a shell command line in the test's directory; a signal shows as 128 + its number.
    result sh(const std::string& line) {
        const int status = std::system(("cd '" + dir.string() + "' && { " + line + " ; } > out 2> err").c_str());
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return {code, slurp(dir / "out"), slurp(dir / "err")};
    }
    std::string filter(const std::string& converter, const std::string& input) {
        spit(dir / "in", input);
        const auto r = sh("'" + program(converter) + "' < in");
        EXPECT_EQ(r.code, 0) << r.err;
        return r.out;
    }
};
} // namespace converter_tests
