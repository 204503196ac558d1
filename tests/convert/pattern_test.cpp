#include "convert/pattern.h"

#include <gtest/gtest.h>

#include <fnmatch.h>
#include <random>

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

// Where the two pattern languages agree (no #, no [], no ! or ] first in a list, no \ or ^),
// the C library's matcher is the referee.
TEST(NamePattern, AgreesWithFnmatchOnRandomNamesAndPatterns) {
    std::mt19937 random(20261207);
    const std::string name_chars = "abAB.x1-";
    const std::string pattern_atoms[] = {"a", "B", ".", "x", "1", "-", "?", "*", "[ab]", "[!a]", "[a-c]", "[A-X1]"};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
    for (int round = 0; round < 20000; ++round) {
        std::string pattern, name;
        for (std::size_t i = pick(5) + 1; i > 0; --i)
            pattern += pattern_atoms[pick(std::size(pattern_atoms))];
        for (std::size_t i = pick(7); i > 0; --i)
            name += name_chars[pick(name_chars.size())];
        const bool expected = ::fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE | FNM_CASEFOLD) == 0;
        ASSERT_EQ(name_pattern(pattern).matches(name), expected) << pattern << " ~ " << name;
    }
}
