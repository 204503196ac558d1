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
// A converter of the file named last on its command line into a file beside it: `convert` gives the
// new extension and the output's bytes. `call_ok`: the command line is right (see standard_call).
int convert_beside(const char* program, const char* usage, int argc, char** argv, bool call_ok,
                   const std::function<std::pair<std::string, bytes>(const bytes& input)>& convert);
// The same for a converter that writes its outputs itself, with write_output.
int convert_file_arg(const char* program, const char* usage, int argc, char** argv, bool call_ok,
                     const std::function<void(const std::string& input)>& convert);
// A note on standard error that does not stop the conversion.
void warn(const std::string& message);

bytes read_file(const std::string& path);
std::string read_stdin();
void write_stdout(const std::string& text);

std::uint16_t get16(const bytes& data, std::size_t at);
std::uint32_t get32(const bytes& data, std::size_t at);
void put16(bytes& out, std::uint16_t value);
void put32(bytes& out, std::uint32_t value);

// The input's path with its file name's extension replaced by `ext`.
std::string beside(const std::string& input, const std::string& ext);
// Writes the output files, never onto the input and never through a link or into a special file:
// every target is checked first, each is written to a new file beside it (its owner's alone until
// complete), and only when all are complete do they take their places, with the mode and owner of
// the files they replace, or the umask's mode. On a failure, SIGTERM, SIGINT or SIGHUP the new files
// go and the earlier outputs stay as they were. Where Kivo names a folder for them
// (KIVO_OUTPUT_DIR), the outputs go there under their names, for Kivo to put in place.
void write_outputs(const std::string& input, const std::vector<std::pair<std::string, bytes>>& outputs);
void write_output(const std::string& input, const std::string& output, const bytes& data);

} // namespace kconv
