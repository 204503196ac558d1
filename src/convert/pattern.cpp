#include "convert/pattern.h"

#include "util/mod_utils_dsw.h"

namespace mod_convert {
namespace {

// UTF-8 to code points; a byte that starts no valid sequence stands for itself.
std::u32string decode(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        char32_t code = 0;
        const std::size_t length = mod_utils_dsw::utf8_char_at(s, i, code);
        out.push_back(length > 0 ? code : static_cast<unsigned char>(s[i]));
        i += length > 0 ? length : 1;
    }
    return out;
}

char32_t lower(char32_t c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}
char32_t upper(char32_t c) {
    return (c >= 'a' && c <= 'z') ? c - 32 : c;
}

bool in_ranges(const std::vector<name_pattern::range>& ranges, char32_t c) {
    for (const auto& r : ranges)
        for (char32_t variant : {c, lower(c), upper(c)})
            if (variant >= r.first && variant <= r.last)
                return true;
    return false;
}

bool matches_one(const name_pattern::token& t, char32_t c) {
    switch (t.kind) {
    case name_pattern::token::literal:
        return lower(t.ch) == lower(c);
    case name_pattern::token::any:
        return true;
    case name_pattern::token::digit:
        return c >= '0' && c <= '9';
    case name_pattern::token::set:
        return in_ranges(t.ranges, c) != t.negated;
    case name_pattern::token::star:
        break;
    }
    return false;
}

// The list after '[' up to its ']'; `i` ends just after the ']'.
name_pattern::token parse_set(const std::u32string& p, std::size_t& i, const std::string& original) {
    name_pattern::token t(name_pattern::token::set);
    if (i < p.size() && p[i] == U'!') {
        t.negated = true;
        ++i;
    }
    for (; i < p.size() && p[i] != U']'; ++i) {
        const bool is_range = i + 2 < p.size() && p[i + 1] == U'-' && p[i + 2] != U']';
        if (!is_range) {
            t.ranges.push_back({p[i], p[i]});
            continue;
        }
        if (p[i] > p[i + 2])
            throw bad_pattern(original);
        t.ranges.push_back({p[i], p[i + 2]});
        i += 2;
    }
    if (i >= p.size())
        throw bad_pattern(original);
    ++i;
    return t;
}

} // namespace

name_pattern::name_pattern(const std::string& pattern) {
    const std::u32string p = decode(pattern);
    for (std::size_t i = 0; i < p.size();) {
        const char32_t c = p[i++];
        if (c == U'[') {
            token t = parse_set(p, i, pattern);
            if (!t.ranges.empty() || t.negated)
                tokens_.push_back(std::move(t)); // "[]" matches the empty string: no token
        } else if (c == U'*') {
            tokens_.emplace_back(token::star);
        } else if (c == U'?') {
            tokens_.emplace_back(token::any);
        } else if (c == U'#') {
            tokens_.emplace_back(token::digit);
        } else {
            tokens_.emplace_back(token::literal, c);
        }
    }
}

// Every token but * takes exactly one character, so one backtrack point (the last star) is enough.
bool name_pattern::matches(const std::string& name) const {
    const std::u32string s = decode(name);
    std::size_t ti = 0, si = 0, star_t = std::string::npos, star_s = 0;
    while (si < s.size()) {
        if (ti < tokens_.size() && tokens_[ti].kind == token::star) {
            star_t = ti++;
            star_s = si;
        } else if (ti < tokens_.size() && matches_one(tokens_[ti], s[si])) {
            ++ti;
            ++si;
        } else if (star_t != std::string::npos) {
            ti = star_t + 1;
            si = ++star_s;
        } else {
            return false;
        }
    }
    while (ti < tokens_.size() && tokens_[ti].kind == token::star)
        ++ti;
    return ti == tokens_.size();
}

} // namespace mod_convert
