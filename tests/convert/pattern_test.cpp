#include "convert/pattern.h"

#include <gtest/gtest.h>

using mod_convert::bad_pattern;
using mod_convert::name_pattern;

TEST(NamePattern, MatchesTheWholeNameIgnoringCase) {
    struct {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.*", "notes.wrd", true},
        {"*.*", "readme", false},
        {"*.wrd", "LETTER.WRD", true},
        {"*.wrd", "letter.wrd.bak", false},
        {"*.tsv", "a.tsv", true},
        {"*.tsv", "a.tsvx", false},
        {"?.agn", "a.agn", true},
        {"?.agn", "ab.agn", false},
        {"file#.txt", "file7.txt", true},
        {"file#.txt", "filex.txt", false},
        {"[a-c]*", "Beta", true},
        {"[a-c]*", "delta", false},
        {"[!a-c]*", "delta", true},
        {"[!a-c]*", "Alpha", false},
        {"[A-Z]x", "qx", true},
        {"a[]b", "ab", true},
        {"a[]b", "axb", false},
        {"[-x]", "-", true},
        {"[x-]", "-", true},
        {"[*?#]", "#", true},
        {"[*?#]", "5", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"**a**", "bab", true},
        {"*a*b*c", "xaybzc", true},
        {"*a*b*c", "xaybz", false},
        {"Ü*", "Übung.wrd", true},
        {"?bung.wrd", "Übung.wrd", true},
        {"all.tsv", "ALL.TSV", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(name_pattern(c.pattern).matches(c.name), c.match) << c.pattern << " ~ " << c.name;
}

TEST(NamePattern, RejectsWhatCannotBeMeant) {
    for (const char* bad : {"[abc", "a[", "[z-a]*", "[!", "x[9-0]"})
        EXPECT_THROW(name_pattern{bad}, bad_pattern) << bad;
}
