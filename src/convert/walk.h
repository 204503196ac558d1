#pragma once
// The directory batch: the picker's answer, then a depth-first walk that holds one listing at a time.

#include "platform/listing.h"

#include <functional>
#include <string>
#include <vector>

namespace mod_convert {

struct walk_callbacks {
    std::function<bool()> include_subdirs;                                      // asked at each sub-directory
    std::function<void(const std::string& path, const std::string& name)> file; // every visible file
    std::function<void(const std::string& dir, const std::string& reason)> unreadable;
    // Lists one directory; raises platform::os_error when it cannot.
    std::function<std::vector<platform::dir_entry>(const std::string& dir)> list = platform::list_directory;
};

// `root` ends in a separator. After a sub-directory its parent is listed afresh and the walk goes
// on after the sub-directory's place in the listing order, also when it has vanished meanwhile.
void walk_directory(const std::string& root, const walk_callbacks& on);

void convert_directory();

} // namespace mod_convert
