// Comma-separated text (RFC 4180) on standard input to tab-separated text on standard output. A
// TSV field cannot hold a tab or a line break, so each becomes one blank (CR LF counts as one).

#include "kconv.h"

#include <string>

namespace {

std::string csv_to_tsv(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    bool quoted = false;
    bool pending = false; // a record has begun
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (quoted) {
            if (c == '"' && i + 1 < in.size() && in[i + 1] == '"') {
                out += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else if (c == '\r' || c == '\n' || c == '\t') {
                out += ' ';
                if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                    ++i;
            } else {
                out += c;
            }
            continue;
        }
        if (c == '\r' || c == '\n') {
            out += '\n';
            pending = false;
            if (c == '\r' && i + 1 < in.size() && in[i + 1] == '\n')
                ++i;
            continue;
        }
        pending = true;
        if (c == '"')
            quoted = true;
        else
            out += c == ',' ? '\t' : c == '\t' ? ' ' : c;
    }
    if (pending)
        out += '\n';
    return out;
}

} // namespace

int main() {
    return kconv::run("csv2tsv", "standard input", [] { kconv::write_stdout(csv_to_tsv(kconv::read_stdin())); });
}
