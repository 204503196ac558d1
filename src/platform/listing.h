#pragma once
// One directory's visible entries, sorted the same way every time it is listed.

#include <string>
#include <vector>

namespace platform {

enum class entry_kind { file, directory, link_to_directory, other };

struct dir_entry {
    std::string name;
    entry_kind kind;
};

// Hidden and system entries are left out. Raises os_error when the directory cannot be read.
std::vector<dir_entry> list_directory(const std::string& dir);

// Listing order: names ignoring ASCII case, ties broken by the exact bytes.
bool listing_order(const std::string& a, const std::string& b);
void sort_listing(std::vector<dir_entry>& entries);

} // namespace platform
