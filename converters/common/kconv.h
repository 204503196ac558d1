#pragma once
// What Kivo's own converters share: whole-file input, little-endian fields with bounds checks, the
// output written beside the input, and one-line errors.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kconv {

using bytes = std::vector<std::uint8_t>;

// A bad input or an output that cannot be written; the message is shown after the file's name.
class error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The calls every converter answers alike: --help prints `usage` on standard output and --version
// the program's name and Kivo's version (exit 0); a call that is not `call_ok` prints the usage on
// standard error (exit 2). Returns -1 when the call is a conversion. Exit codes: 0 converted
// (warnings on standard error), 1 the input cannot be converted, 2 a wrong call (or a protected file).
int standard_call(const char* program, const char* usage, int argc, char** argv, bool call_ok);

// Runs a converter's body: an error becomes "PROGRAM: FILE: MESSAGE" on standard error and exit code 1
// ("PROGRAM: MESSAGE" for a converter of standard input, whose `file` is empty).
int run(const char* program, const std::string& file, const std::function<void()>& body);
// A converter of the file named last on its command line: `convert` is given its path.
// `call_ok`: the command line is right (see standard_call).
int convert_file_arg(const char* program, const char* usage, int argc, char** argv, bool call_ok,
                     const std::function<void(const std::string& input)>& convert);
// Kivo's version, which every converter answers --version with.
const char* kivo_version();
// The result on standard output, or, where `output` is named, into that file beside nothing else:
// complete or not at all (an output_set of one).
void write_result(const std::string& input, const std::string& output, const std::string& text);
// A note on standard error that does not stop the conversion.
void warn(const std::string& message);

bytes read_file(const std::string& path);
// No organiser of the family could store a file larger than this (its memory and largest disk together).
constexpr std::uint64_t organiser_file_limit = 16u << 20;
// One of the organiser's files, read only once it shows itself as one: `check_head` sees its first
// bytes (up to 64) and raises an error when they are not its signature. A file of the later Series 5,
// or one larger than organiser_file_limit, is refused before the rest is read.
bytes read_organiser_file(const std::string& path, const std::function<void(const bytes& head)>& check_head);
// A check_head for files that begin with `signature`: "not WHAT (bad signature)" for any other.
std::function<void(const bytes&)> signature(std::string signature, std::string what);
void write_stdout(const std::string& text);

std::uint16_t get16(const bytes& data, std::size_t at);
std::uint32_t get32(const bytes& data, std::size_t at);
void put16(bytes& out, std::uint16_t value);
void put32(bytes& out, std::uint32_t value);

// The input's path with its file name's extension replaced by `ext`.
std::string beside(const std::string& input, const std::string& ext);
// Writes the output files as one output_set (output_set.h): every target checked first, all put in
// place only once every one is complete.
void write_outputs(const std::string& input, const std::vector<std::pair<std::string, bytes>>& outputs);
void write_output(const std::string& input, const std::string& output, const bytes& data);

} // namespace kconv
