// Comma-separated text (RFC 4180) on standard input to tab-separated text on standard output. A
// TSV field cannot hold a tab or a line break, so each becomes one blank (CR LF counts as one).
// The text streams through: a field or a line of any length in flat memory.

#include "fields.h"
#include "kconv.h"

#include <cstdio>
#include <string>

namespace {

const char* const usage = "usage: csv2tsv < FILE.csv > FILE.tsv\n"
                          "Reads comma-separated text (RFC 4180; semicolons where the first record has no\n"
                          "comma) on standard input and writes tab-separated text on standard output.\n";

bool line_end(char c) {
    return c == '\r' || c == '\n';
}

// Where a field stands as the text streams through; a quote inside a quoted field either closes it
// or, doubled, stands for itself: the next character tells.
struct csv_position {
    bool quoted = false, after_quote = false, field_start = true;

    // False when `c` belongs to the quoted field (written by the caller as text, or skipped).
    bool unquoted(char c, bool& literal_quote) {
        literal_quote = false;
        if (after_quote) {
            after_quote = false;
            literal_quote = c == '"';
            if (literal_quote)
                return false;
            quoted = false;
        }
        if (quoted) {
            after_quote = c == '"';
            return false;
        }
        return true;
    }
};

// Spreadsheet programs in many European locales separate fields with ';': so does a first record
// that holds semicolons and no comma outside quotes. Decided at the first comma, else at the
// record's end.
class separator_scan {
public:
    bool feed(const char* data, std::size_t size) { // true once decided
        for (std::size_t i = 0; i < size && !decided_; ++i)
            look_at(data[i]);
        return decided_;
    }
    char separator() const { return commas_ > 0 || semicolons_ == 0 ? ',' : ';'; }

private:
    void look_at(char c) {
        bool literal = false;
        if (!at_.unquoted(c, literal))
            return;
        if (line_end(c)) {
            decided_ = true;
            return;
        }
        at_.quoted = c == '"' && at_.field_start;
        commas_ += c == ',';
        semicolons_ += c == ';';
        at_.field_start = c == ',' || c == ';';
        decided_ = commas_ > 0;
    }
    csv_position at_;
    std::size_t commas_ = 0, semicolons_ = 0;
    bool decided_ = false;
};

// A quote opens a quoted field only at the field's start; elsewhere it is an ordinary character.
class csv_to_tsv {
public:
    explicit csv_to_tsv(char separator) : separator_(separator) {}
    void feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            take(data[i]);
        kconv::flush_when_large(out_);
    }
    void finish() {
        if (at_.quoted && !at_.after_quote)
            kconv::warn("a quoted field is still open at the end of the input");
        if (record_open_)
            out_ += '\n';
        kconv::write_stdout(out_);
    }

private:
    void take(char c) {
        const bool lf_of_crlf = skip_lf_ && c == '\n';
        skip_lf_ = false;
        if (lf_of_crlf)
            return;
        bool literal = false;
        if (!at_.unquoted(c, literal)) {
            if (literal)
                out_ += '"';
            else if (!at_.after_quote)
                out_ += line_end(c) || c == '\t' ? ' ' : c;
            skip_lf_ = c == '\r';
            return;
        }
        if (line_end(c)) {
            out_ += '\n';
            record_open_ = false;
            at_.field_start = true;
            skip_lf_ = c == '\r';
            return;
        }
        record_open_ = true;
        at_.quoted = c == '"' && at_.field_start;
        at_.field_start = c == separator_;
        if (!at_.quoted)
            out_ += c == separator_ ? '\t' : c == '\t' ? ' ' : c;
    }
    char separator_;
    csv_position at_;
    bool skip_lf_ = false, record_open_ = false;
    std::string out_;
};

std::size_t read_block(std::string& block) {
    block.resize(1 << 16);
    block.resize(std::fread(&block[0], 1, block.size(), stdin));
    return block.size();
}

} // namespace

int main(int argc, char** argv) {
    if (const int done = kconv::standard_call("csv2tsv", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return kconv::run("csv2tsv", "", [] {
        // What is read while the separator is still unknown waits, on disk when it is long.
        kconv::spill_buffer first;
        separator_scan scan;
        std::string block;
        for (bool decided = false; !decided && read_block(block) > 0;) {
            first.append(block.data(), block.size());
            decided = scan.feed(block.data(), block.size());
        }
        if (scan.separator() == ';')
            kconv::warn("fields separated by semicolons (the first record has no comma)");
        csv_to_tsv converter(scan.separator());
        first.drain([&](const char* data, std::size_t size) { converter.feed(data, size); });
        while (read_block(block) > 0)
            converter.feed(block.data(), block.size());
        converter.finish();
    });
}
