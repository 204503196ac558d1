#pragma once
// The directory batch: the picker's answer, then a depth-first walk in sorted listing order.

#include "convert/main_window.h"
#include "platform/listing.h"

#include <functional>
#include <string>
#include <vector>

namespace mod_convert {

struct walk_callbacks {
    bool include_subdirs = false;
    std::function<void(const std::string& path, const std::string& name)> file; // every visible non-directory
    std::function<void(const std::string& dir, const std::string& reason)> unreadable;
    // Every sub-directory met, entered or not: false keeps the walk out of it.
    std::function<bool(const std::string& path, const std::string& name)> directory = nullptr;
    // Each directory's listing once read, before its entries are met; it may leave entries out.
    std::function<void(const std::string& dir, std::vector<platform::dir_entry>& listing)> listed = nullptr;
    // Lists one directory; raises platform::os_error when it cannot.
    std::function<std::vector<platform::dir_entry>(const std::string& dir)> list = platform::list_directory;
};

// `root` ends in a separator. Each directory is listed once, when the walk enters it; a sub-directory
// is walked completely before its parent's later entries.
void walk_directory(const std::string& root, const walk_callbacks& on);

void convert_directory(main_window& window);

} // namespace mod_convert
