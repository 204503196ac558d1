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

// Runs a converter's body: an error becomes "PROGRAM: FILE: MESSAGE" on standard error and exit code 1.
int run(const char* program, const std::string& file, const std::function<void()>& body);
// A converter of the file named last on its command line into a file beside it: `convert` gives the
// new extension and the output's bytes; without a file name the usage is the error.
int convert_beside(const char* program, const char* usage, int argc, char** argv,
                   const std::function<std::pair<std::string, bytes>(const bytes& input)>& convert);
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
// Writes the output file, never onto the input and never through a link or into a special file.
void write_output(const std::string& input, const std::string& output, const bytes& data);

} // namespace kconv
