#include "convert/formats.h"

#include <gtest/gtest.h>

using namespace mod_convert;

namespace {

struct pair_case {
    int source, target;
    const char* with_flags;
    const char* without_flags;
};

const pair_case offered_pairs[] = {
    {agn, tsv, "agn2tsv", "agn2tsv"},      {dbf, tsv, "dbf2tsv", "dbf2tsv"},       {spr, tsv, "spr2tsv", "spr2tsv"},
    {wrd, txt, "WRD2HTML -t", "WRD2HTML"}, {wrd, html, "WRD2HTML -h", "WRD2HTML"}, {tsv, csv, "tsv2csv <", "tsv2csv"},
    {tsv, spr, "tsv2spr <", "tsv2spr"},    {tsv, dbf, "tsv2dbf <", "tsv2dbf"},     {csv, tsv, "csv2tsv <", "csv2tsv"},
    {pic, pcx, "WSPCX -W -S", "WSPCX"},    {pcx, pic, "WSPCX -P -S", "WSPCX"},     {wve, wav, "wve2wav", "wve2wav"},
    {wav, wve, "wav2wve", "wav2wve"},
};

// Pairs the window never offers, where the order of the rules shows.
const pair_case rule_order[] = {
    {csv, txt, "csv2txt <", "csv2txt"}, {tsv, html, "tsv2html <", "tsv2html"},  {spr, txt, "spr2txt -t", "spr2txt"},
    {agn, dbf, "agn2dbf", "agn2dbf"},   {agn, pic, "agn2pic -P -S", "agn2pic"},
};

} // namespace

TEST(ConverterCommand, OfferedPairsAndRuleOrder) {
    auto check = [](const pair_case& c) {
        SCOPED_TRACE(format_ext(c.source) + " to " + format_ext(c.target));
        EXPECT_EQ(converter_command(c.source, c.target, true), c.with_flags);
        EXPECT_EQ(converter_command(c.source, c.target, false), c.without_flags);
    };
    for (const auto& c : offered_pairs)
        check(c);
    for (const auto& c : rule_order)
        check(c);
}

TEST(ConverterCommand, FixedNamesIgnoreAMissingTargetWithoutFlags) {
    EXPECT_EQ(converter_command(wrd, no_format, false), "WRD2HTML");
    EXPECT_EQ(converter_command(pic, no_format, false), "WSPCX");
    EXPECT_THROW(converter_command(agn, no_format, false), bad_format_index);
    EXPECT_THROW(converter_command(no_format, tsv, false), bad_format_index);
}

TEST(FormatTable, ExtensionsCaptionsAndBounds) {
    const char* exts[] = {"agn", "dbf", "spr", "wrd", "tsv", "html", "pic", "pcx", "wve", "wav", "txt", "csv"};
    for (int i = 0; i < format_count; ++i)
        EXPECT_EQ(format_ext(i), exts[i]);
    EXPECT_EQ(format_caption(html), "Hypertext (html)");
    EXPECT_EQ(format_caption(csv), "Comma-delimited text (csv)");
    for (int bad : {-1, 12})
        EXPECT_THROW(format_ext(bad), bad_format_index) << bad;
}
