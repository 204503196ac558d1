// Tab-separated text on standard input to comma-separated text (RFC 4180) on standard output: a
// field holding a comma, a quote or a line break is quoted, its quotes doubled; lines end in CR LF.

#include "kconv.h"

#include <string>

namespace {

void put_field(std::string& out, const std::string& in, std::size_t from, std::size_t to) {
    const auto field = in.substr(from, to - from);
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    out += '"';
}

std::string tsv_to_csv(const std::string& in) {
    std::string out;
    out.reserve(in.size() + in.size() / 8);
    std::size_t start = 0;
    while (start < in.size()) {
        auto end = in.find('\n', start);
        if (end == std::string::npos)
            end = in.size();
        const std::size_t line_end = end > start && in[end - 1] == '\r' ? end - 1 : end;
        for (std::size_t field = start;;) {
            auto tab = in.find('\t', field);
            if (tab == std::string::npos || tab > line_end)
                tab = line_end;
            put_field(out, in, field, tab);
            if (tab == line_end)
                break;
            out += ',';
            field = tab + 1;
        }
        out += "\r\n";
        start = end + 1;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: tsv2csv < FILE.tsv > FILE.csv\n"
                        "Reads tab-separated text on standard input and writes comma-separated text\n"
                        "(RFC 4180, CR LF line ends) on standard output.\n";
    if (const int done = kconv::standard_call("tsv2csv", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return kconv::run("tsv2csv", "", [] { kconv::write_stdout(tsv_to_csv(kconv::read_stdin())); });
}
