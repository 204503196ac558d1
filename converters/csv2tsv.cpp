// Comma-separated text (RFC 4180) on standard input to tab-separated text on standard output. A
// TSV field cannot hold a tab or a line break, so each becomes one blank (CR LF counts as one).

#include "kconv.h"

#include <string>

namespace {

const char* const usage = "usage: csv2tsv < FILE.csv > FILE.tsv\n"
                          "Reads comma-separated text (RFC 4180; semicolons where the first record has no\n"
                          "comma) on standard input and writes tab-separated text on standard output.\n";

bool line_end(char c) {
    return c == '\r' || c == '\n';
}

// Spreadsheet programs in many European locales separate fields with ';': so does a first record
// that holds semicolons and no comma outside quotes.
char separator_of(const std::string& in) {
    std::size_t commas = 0, semicolons = 0;
    bool quoted = false, field_start = true;
    for (std::size_t i = 0; i < in.size() && (quoted || !line_end(in[i])); ++i) {
        const char c = in[i];
        if (quoted) {
            if (c == '"' && i + 1 < in.size() && in[i + 1] == '"')
                ++i;
            else
                quoted = c != '"';
            continue;
        }
        quoted = c == '"' && field_start;
        commas += c == ',';
        semicolons += c == ';';
        field_start = c == ',' || c == ';';
    }
    if (commas > 0 || semicolons == 0)
        return ',';
    kconv::warn("fields separated by semicolons (the first record has no comma)");
    return ';';
}

// A quote opens a quoted field only at the field's start; elsewhere it is an ordinary character.
std::string csv_to_tsv(const std::string& in, char separator) {
    std::string out;
    out.reserve(in.size());
    bool quoted = false, field_start = true;
    bool pending = false; // a record has begun
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        const bool crlf = c == '\r' && i + 1 < in.size() && in[i + 1] == '\n';
        if (quoted) {
            if (c == '"' && i + 1 < in.size() && in[i + 1] == '"') {
                out += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out += line_end(c) || c == '\t' ? ' ' : c;
                i += crlf;
            }
            continue;
        }
        if (line_end(c)) {
            out += '\n';
            pending = false;
            field_start = true;
            i += crlf;
            continue;
        }
        pending = true;
        quoted = c == '"' && field_start;
        field_start = c == separator;
        if (!quoted)
            out += c == separator ? '\t' : c == '\t' ? ' ' : c;
    }
    if (quoted)
        kconv::warn("a quoted field is still open at the end of the input");
    if (pending)
        out += '\n';
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (const int done = kconv::standard_call("csv2tsv", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return kconv::run("csv2tsv", "", [] {
        const std::string in = kconv::read_stdin();
        kconv::write_stdout(csv_to_tsv(in, separator_of(in)));
    });
}
