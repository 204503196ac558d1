// WRD2HTML -t FILE.wrd (plain text) or WRD2HTML -h FILE.wrd (HTML), on standard output: the
// organiser's Word file, paragraph by paragraph, with its styles and emphases in HTML.

#include "cp850.h"
#include "fields.h"
#include "kconv.h"

#include <cctype>
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
    // For a style: its paragraphs' layout. Distances and sizes are twips (1/20 point): the genuine
    // files' A4 page is 11906 x 16838 and their indents 720, 964 and 2494 (half an inch, 17 and 44 mm).
    unsigned alignment = 0;   // 0 left, 1 right, 2 centred, 3 justified
    int left = 0, right = 0;  // indents
    int first = 0;            // where a paragraph's first line starts, from the same margin as `left`
    int above = 0, below = 0; // space around the paragraph
    int size = 0;             // of its type
    unsigned outline = 9;     // 1 to 9; 9 is body text
};

int signed16(const bytes& file, std::size_t at) {
    return static_cast<std::int16_t>(get16(file, at));
}

format style_format(const bytes& file, std::size_t data, std::size_t size) {
    format f{file[data + 22]};
    f.size = get16(file, data + 24);
    if (size >= 46) {
        f.left = signed16(file, data + 28);
        f.right = signed16(file, data + 30);
        f.first = signed16(file, data + 32);
        f.alignment = get16(file, data + 34);
        f.above = get16(file, data + 38);
        f.below = get16(file, data + 40);
        f.outline = get16(file, data + 44);
    }
    return f;
}

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
        if (type == 6 && size >= 28) {
            d.styles[code()] = style_format(file, data, size);
        } else if (type == 7 && size >= 28) {
            d.emphases[code()] = format{file[data + 22], file[data + 26]};
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

// A style's short code as a CSS class: letters and digits stay, any other byte is spelt in hex.
std::string class_name(const std::string& code) {
    std::string out = "s-";
    for (unsigned char c : code) {
        static const char hex[] = "0123456789ABCDEF";
        if (std::isalnum(c) && c < 128)
            out += static_cast<char>(c);
        else
            out += std::string("_") + hex[c >> 4] + hex[c & 15];
    }
    return out;
}

// Outline levels 1 to 6 are headings; the rest, and text without a style, are paragraphs.
std::string element_of(const format* style) {
    return style && style->outline >= 1 && style->outline <= 6 ? "h" + std::to_string(style->outline) : "p";
}

std::string points(int twips) {
    return shortest_number(twips / 20.0) + "pt";
}

// One rule a style: its paragraphs' indents, spacing, type size and alignment.
std::string style_rules(const std::map<std::string, format>& styles) {
    static const char* const align[] = {"left", "right", "center", "justify"};
    std::string css;
    for (const auto& [code, f] : styles) {
        css += element_of(&f) + "." + class_name(code) + " { margin: " + points(f.above) + " " + points(f.right) + " " +
               points(f.below) + " " + points(f.left) + "; text-indent: " + points(f.first - f.left) + ";";
        if (f.size > 0)
            css += " font-size: " + points(f.size) + ";";
        css += std::string(" text-align: ") + align[f.alignment < 4 ? f.alignment : 0] + "; }\n";
    }
    return css;
}

class writer {
public:
    explicit writer(bool html) : html_(html) {}

    void paragraph_start(const std::string& style_code, const format* style) {
        tag_ = element_of(style);
        empty_ = true;
        if (html_)
            out_ += "<" + tag_ + (style ? " class=\"" + class_name(style_code) + "\"" : std::string()) + ">";
    }
    // An empty paragraph keeps its line, as on the organiser's screen.
    void paragraph_end() { out_ += html_ ? std::string(empty_ ? "<br>" : "") + "</" + tag_ + ">\n" : "\n"; }

    void text(unsigned attributes, const bytes& t, std::size_t from, std::size_t to) {
        static const std::pair<unsigned, const char*> tags[] = {
            {bold, "b"}, {italic, "i"}, {underline, "u"}, {superscript, "sup"}, {subscript, "sub"}};
        if (from == to)
            return;
        empty_ = false;
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
    std::string tag_ = "p"; // the paragraph's element
    bool empty_ = true;     // no text in it yet
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
                w.paragraph_start(r.style, style == d.styles.end() ? nullptr : &style->second);
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
           "<style>\n"
           // Tabs and the organiser's runs of blanks stay visible, as on its screen.
           "p, h1, h2, h3, h4, h5, h6 { white-space: pre-wrap; tab-size: 8; }\n"
           // A heading looks as its style says, not as the browser's headings do.
           "h1, h2, h3, h4, h5, h6 { font-size: 1em; font-weight: normal; margin: 1em 0; }\n" +
           style_rules(d.styles) + "</style>\n</head>\n<body>\n" + w.output() + "</body>\n</html>\n";
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
                const document d = read_document(
                    read_organiser_file(input, signature({wrd_signature, sizeof wrd_signature}, "a Word file")));
                write_stdout(convert(d, mode == "-h", input.substr(input.find_last_of("/\\") + 1)));
            } catch (const protected_file&) {
                code = 2;
                throw;
            }
        });
    return result && code ? code : result;
}
