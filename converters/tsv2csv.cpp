// Tab-separated text on standard input to comma-separated text (RFC 4180) on standard output: a
// field holding a comma, a quote or a line break is quoted, its quotes doubled; lines end in CR LF.
// The text streams through: a field of any length waits in flat memory until its end says how it
// is written.

#include "fields.h"
#include "kconv.h"

#include <cstdio>
#include <string>

namespace {

class tsv_to_csv {
public:
    void feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            take(data[i]);
        kconv::flush_when_large(out_);
    }
    void finish() {
        cr_pending_ = false; // a CR at the very end ends the last line, as before a line feed
        if (line_open_)
            end_line();
        kconv::write_stdout(out_);
    }

private:
    void take(char c) {
        line_open_ = true;
        if (cr_pending_) {
            cr_pending_ = false;
            if (c == '\n') {
                end_line();
                return;
            }
            add('\r');
        }
        if (c == '\r')
            cr_pending_ = true;
        else if (c == '\n')
            end_line();
        else if (c == '\t')
            end_field(",");
        else
            add(c);
    }
    void add(char c) {
        quoted_ = quoted_ || c == ',' || c == '"' || c == '\r' || c == '\n';
        field_.append(c);
    }
    void end_field(const char* after) {
        if (quoted_)
            out_ += '"';
        field_.drain([this](const char* data, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i) {
                out_ += data[i];
                if (data[i] == '"')
                    out_ += '"';
            }
            kconv::flush_when_large(out_);
        });
        if (quoted_)
            out_ += '"';
        out_ += after;
        quoted_ = false;
    }
    void end_line() {
        end_field("\r\n");
        line_open_ = false;
    }
    kconv::spill_buffer field_;
    bool quoted_ = false, cr_pending_ = false, line_open_ = false;
    std::string out_;
};

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: tsv2csv < FILE.tsv > FILE.csv\n"
                        "Reads tab-separated text on standard input and writes comma-separated text\n"
                        "(RFC 4180, CR LF line ends) on standard output.\n";
    if (const int done = kconv::standard_call("tsv2csv", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return kconv::run("tsv2csv", "", [] {
        tsv_to_csv converter;
        std::string block(1 << 16, '\0');
        for (std::size_t n; (n = std::fread(&block[0], 1, block.size(), stdin)) > 0;)
            converter.feed(block.data(), n);
        converter.finish();
    });
}
