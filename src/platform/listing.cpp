#include "platform/listing.h"

#include <algorithm>
#include <cctype>

namespace platform {

bool listing_order(const std::string& a, const std::string& b) {
    const auto folded = [](unsigned char c) { return std::tolower(c); };
    const auto mismatch = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) {
        return folded(static_cast<unsigned char>(x)) == folded(static_cast<unsigned char>(y));
    });
    if (mismatch.first != a.end() && mismatch.second != b.end())
        return folded(static_cast<unsigned char>(*mismatch.first)) <
               folded(static_cast<unsigned char>(*mismatch.second));
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

void sort_listing(std::vector<dir_entry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const dir_entry& a, const dir_entry& b) { return listing_order(a.name, b.name); });
}

} // namespace platform
