#pragma once
// File-name patterns: ? any character, * any run, # a digit, [list] and [!list] with ranges;
// letters match regardless of case, and [] matches the empty string.

#include <stdexcept>
#include <string>
#include <vector>

namespace mod_convert {

class bad_pattern : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

class name_pattern {
public:
    // Raises bad_pattern for an unclosed [ or a backwards range such as [z-a].
    explicit name_pattern(const std::string& pattern);
    // The whole name must match the whole pattern.
    bool matches(const std::string& name) const;

    struct range {
        char32_t first;
        char32_t last;
    };
    struct token {
        enum kind_t { literal, any, digit, star, set };
        explicit token(kind_t k, char32_t c = 0) : kind(k), ch(c) {}
        kind_t kind;
        char32_t ch;
        bool negated = false;
        std::vector<range> ranges;
    };

private:
    std::vector<token> tokens_;
};

} // namespace mod_convert
