#include "convert/pattern.h"

#include <gtest/gtest.h>

#include <fnmatch.h>
#include <random>

using mod_convert::name_pattern;

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
