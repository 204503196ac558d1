#include "convert/formats.h"

#include "convert/state.h"

namespace mod_convert {
namespace {

struct format_row {
    const char* ext;
    const char* caption;
};

constexpr format_row format_table[format_count] = {
    {"agn", "Agenda (agn)"},
    {"dbf", "Data (dbf)"},
    {"spr", "Sheet (spr)"},
    {"wrd", "Word (wrd)"},
    {"tsv", "Tab-delimited text (tsv)"},
    {"html", "Hypertext (html)"},
    {"pic", "Image (pic)"},
    {"pcx", "PCX image (pcx)"},
    {"wve", "Sound (wve)"},
    {"wav", "WAV sound (wav)"},
    {"txt", "Plain text (txt)"},
    {"csv", "Comma-delimited text (csv)"},
};

const format_row& row(std::int32_t index) {
    if (index < 0 || index >= format_count)
        throw bad_format_index(index);
    return format_table[index];
}

std::string converter_name(std::int32_t source, std::int32_t target) {
    if (source == pic || source == pcx)
        return "WSPCX";
    if (source == wrd)
        return "WRD2HTML";
    return format_ext(source) + "2" + format_ext(target);
}

// The first rule that applies wins: the source rule comes before every target rule.
std::string converter_flags(std::int32_t source, std::int32_t target) {
    if (source == tsv || source == csv)
        return " <";
    switch (target) {
    case html:
        return " -h";
    case txt:
        return " -t";
    case pic:
        return " -P -S";
    case pcx:
        return " -W -S";
    default:
        return "";
    }
}

} // namespace

bad_format_index::bad_format_index(std::int32_t index)
    : std::out_of_range("format index out of range: " + std::to_string(index)) {}

std::string format_ext(std::int32_t index) {
    return row(index).ext;
}
std::string format_caption(std::int32_t index) {
    return row(index).caption;
}

std::string converter_command(std::int32_t source, std::int32_t target, bool with_flags) {
    std::string name = converter_name(source, target);
    return with_flags ? name + converter_flags(source, target) : name;
}

std::vector<std::string> companion_converters() {
    return {"agn2ics", "dbf2vcf"};
}

std::vector<std::int32_t> offered_targets(std::int32_t source) {
    switch (source) {
    case agn:
    case dbf:
    case spr:
    case csv:
        return {tsv};
    case wrd:
        return {txt, html};
    case tsv:
        return {csv, spr, dbf};
    case pic:
        return {pcx};
    case pcx:
        return {pic};
    case wve:
        return {wav};
    case wav:
        return {wve};
    default:
        return {};
    }
}

bool writes_own_output(std::int32_t source) {
    return source == pic || source == pcx || source == wve || source == wav;
}

std::vector<std::int32_t> rule_sources() {
    return {agn, dbf, spr, wrd, tsv, pic, pcx, wve, wav, csv};
}

std::string converter_command(bool with_flags) {
    return converter_command(state().source_format, state().target_format, with_flags);
}

} // namespace mod_convert
