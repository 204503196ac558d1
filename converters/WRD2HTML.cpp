// WRD2HTML -t FILE.wrd (plain text) or WRD2HTML -h FILE.wrd (HTML), on standard output: the
// organiser's Word file, paragraph by paragraph, with its styles and emphases in HTML.

#include "cp850.h"
#include "kconv.h"

#include <cstring>
#include <map>

using namespace kconv;

namespace {

constexpr char wrd_signature[] = "PSIONWPDATAFILE"; // 15 characters and its zero fill a 16-byte field
constexpr std::size_t wrd_header_size = 40;
enum : unsigned { underline = 1, bold = 2, italic = 4, superscript = 8, subscript = 16 };

struct format {
    unsigned attributes = 0; // the bits above
    unsigned inherited = 0;  // for an emphasis: the bits taken from the paragraph's style
    unsigned alignment = 0;  // for a style: 0 left, 1 right, 2 centred, 3 justified
};

struct text_run {
    std::size_t length;
    std::string style, emphasis;
};

struct document {
    bytes text;
    std::vector<text_run> runs;
    std::map<std::string, format> styles, emphases;
};

class protected_file : public error {
public:
    protected_file() : error("the file is protected by a password") {}
};

document read_document(const bytes& file) {
    if (file.size() < wrd_header_size || std::memcmp(file.data(), wrd_signature, sizeof wrd_signature) != 0)
        throw error("not a Word file (bad signature)");
    if (get16(file, 16) == 256 || get16(file, 18) == 1 || get16(file, 36) != 0xEAEA)
        throw protected_file();
    document d;
    for (std::size_t at = wrd_header_size; at < file.size();) {
        const unsigned type = get16(file, at);
        const std::size_t size = get16(file, at + 2), data = at + 4;
        if (data + size > file.size())
            throw error("the record at offset " + std::to_string(at) + " runs past the end of the file");
        if (type < 1 || type > 9)
            throw error("unknown record type " + std::to_string(type) + " at offset " + std::to_string(at));
        const auto code = [&] {
            return std::string(file.begin() + static_cast<std::ptrdiff_t>(data),
                               file.begin() + static_cast<std::ptrdiff_t>(data + 2));
        };
        if ((type == 6 || type == 7) && size >= 28) {
            format f{file[data + 22], type == 7 ? file[data + 26] : 0u,
                     type == 6 && size >= 36 ? get16(file, data + 34) : 0u};
            (type == 6 ? d.styles : d.emphases)[code()] = f;
        } else if (type == 8) {
            d.text.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                          file.begin() + static_cast<std::ptrdiff_t>(data + size));
        } else if (type == 9) {
            for (std::size_t r = data; r + 6 <= data + size; r += 6)
                d.runs.push_back({get16(file, r),
                                  std::string(file.begin() + static_cast<std::ptrdiff_t>(r + 2),
                                              file.begin() + static_cast<std::ptrdiff_t>(r + 4)),
                                  std::string(file.begin() + static_cast<std::ptrdiff_t>(r + 4),
                                              file.begin() + static_cast<std::ptrdiff_t>(r + 6))});
        }
        at = data + size;
    }
    return d;
}

// Runs that cover the text and its implied last terminator; otherwise one plain run a paragraph.
std::vector<text_run> checked_runs(const document& d) {
    std::size_t covered = 0;
    for (const text_run& r : d.runs)
        covered += r.length;
    if (covered == d.text.size() + 1 && !d.runs.empty())
        return d.runs;
    if (!d.runs.empty())
        warn("the style runs do not cover the text: styles left out");
    return {{d.text.size() + 1, "", ""}};
}

// Bytes with a meaning of their own in the text, and what they become in HTML and in plain text.
struct special {
    std::uint8_t byte;
    const char* html;
    const char* text;
};
constexpr special specials[] = {
    {7, "\u2011", "\u2011"},  // non-breaking hyphen
    {14, "&shy;", ""},        // soft hyphen
    {15, "&nbsp;", "\u00A0"}, // non-breaking space
    {9, "\t", "\t"},          // tab (measured)
    {10, "<br>", "\n"},       // forced line break, Shift+Enter (measured)
    {21, "<br>", "\n"},       // Data's forced line break, never seen in Word text (reported)
    {'&', "&amp;", "&"},      {'<', "&lt;", "<"}, {'>', "&gt;", ">"}, {'"', "&quot;", "\""},
};

const special* special_byte(std::uint8_t b) {
    for (const special& sp : specials)
        if (sp.byte == b)
            return &sp;
    return nullptr;
}

std::string html_escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        const special* sp = c >= 32 ? special_byte(static_cast<std::uint8_t>(c)) : nullptr;
        out += sp ? std::string(sp->html) : std::string(1, c);
    }
    return out;
}

class writer {
public:
    explicit writer(bool html) : html_(html) {}

    void paragraph_start(const format& style) {
        static const char* const align[] = {"", " style=\"text-align:right\"", " style=\"text-align:center\"",
                                            " style=\"text-align:justify\""};
        if (html_)
            out_ += std::string("<p") + align[style.alignment < 4 ? style.alignment : 0] + ">";
    }
    void paragraph_end() { out_ += html_ ? "</p>\n" : "\n"; }

    void text(unsigned attributes, const bytes& t, std::size_t from, std::size_t to) {
        static const std::pair<unsigned, const char*> tags[] = {
            {bold, "b"}, {italic, "i"}, {underline, "u"}, {superscript, "sup"}, {subscript, "sub"}};
        if (from == to)
            return;
        for (const auto& [bit, tag] : tags)
            if (html_ && (attributes & bit))
                out_ += std::string("<") + tag + ">";
        for (std::size_t i = from; i < to; ++i)
            character(t[i]);
        for (auto it = std::rbegin(tags); it != std::rend(tags); ++it)
            if (html_ && (attributes & it->first))
                out_ += std::string("</") + it->second + ">";
    }

    const std::string& output() const { return out_; }

private:
    void character(std::uint8_t b) {
        if (b == 21 && !warned_break_) {
            warn("byte 21 taken as a forced line break (undocumented)");
            warned_break_ = true;
        }
        if (const special* sp = special_byte(b))
            out_ += html_ ? sp->html : sp->text;
        else
            out_ += b < 32 ? std::string(" ") : cp850_to_utf8(b);
    }

    bool html_;
    bool warned_break_ = false;
    std::string out_;
};

unsigned attributes_of(const document& d, const text_run& r) {
    const auto style = d.styles.find(r.style);
    const auto emphasis = d.emphases.find(r.emphasis);
    const unsigned base = style == d.styles.end() ? 0 : style->second.attributes;
    if (emphasis == d.emphases.end())
        return base;
    return (emphasis->second.attributes & ~emphasis->second.inherited) | (base & emphasis->second.inherited);
}

std::string convert(const document& d, bool html, const std::string& title) {
    writer w(html);
    const auto runs = checked_runs(d);
    bool in_paragraph = false;
    std::size_t at = 0;
    for (const text_run& r : runs) {
        const auto style = d.styles.find(r.style);
        const std::size_t end = std::min(at + r.length, d.text.size() + 1);
        for (std::size_t from = at; from < end;) {
            if (!in_paragraph)
                w.paragraph_start(style == d.styles.end() ? format{} : style->second);
            in_paragraph = true;
            std::size_t stop = from;
            while (stop < end && stop < d.text.size() && d.text[stop] != 0)
                ++stop;
            w.text(attributes_of(d, r), d.text, from, stop);
            if (stop < end) { // a paragraph's end: its zero byte, or the implied last one
                w.paragraph_end();
                in_paragraph = false;
                ++stop;
            }
            from = stop;
        }
        at = end;
    }
    if (!html)
        return w.output();
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + html_escaped(title) +
           "</title>\n"
           // Tabs and the organiser's runs of blanks stay visible, as on its screen.
           "<style>p { white-space: pre-wrap; tab-size: 8; }</style>\n</head>\n<body>\n" +
           w.output() + "</body>\n</html>\n";
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 2 ? argv[1] : "";
    const char* usage = "usage: WRD2HTML -t FILE.wrd | WRD2HTML -h FILE.wrd\n"
                        "Writes the organiser Word file on standard output: -t as plain text, a paragraph\n"
                        "a line; -h as one HTML page with its styles and emphases.\n";
    int code = 0;
    const int result = convert_file_arg(
        "WRD2HTML", usage, argc, argv, argc == 3 && (mode == "-t" || mode == "-h"), [&](const std::string& input) {
            try {
                const document d = read_document(read_file(input));
                write_stdout(convert(d, mode == "-h", input.substr(input.find_last_of("/\\") + 1)));
            } catch (const protected_file&) {
                code = 2;
                throw;
            }
        });
    return result && code ? code : result;
}
