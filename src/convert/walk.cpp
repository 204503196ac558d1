#include "convert/walk.h"

#include "convert/batch.h"
#include "convert/main_window.h"
#include "convert/pattern.h"
#include "convert/state.h"
#include "platform/errors.h"
#include "platform/listing.h"
#include "util/mod_utils_dsw.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace mod_convert {

using mod_utils_dsw::with_trailing_backslash;
using platform::dir_entry;
using platform::entry_kind;

namespace {

std::vector<dir_entry> list_or_report(const std::string& dir, const walk_callbacks& on) {
    try {
        return on.list(dir);
    } catch (const platform::os_error& e) {
        on.unreadable(dir, e.what());
        return {};
    }
}

std::size_t position_after(const std::vector<dir_entry>& listing, const std::string& name) {
    const auto it =
        std::upper_bound(listing.begin(), listing.end(), name,
                         [](const std::string& n, const dir_entry& e) { return platform::listing_order(n, e.name); });
    return static_cast<std::size_t>(it - listing.begin());
}

std::optional<name_pattern> compile(const std::string& pattern, const char* which) {
    try {
        return name_pattern(pattern);
    } catch (const bad_pattern&) {
        state().batch_error = std::string("Status: Invalid ") + which + " pattern: " + pattern;
        return std::nullopt;
    }
}

void wait_for_picker() {
    auto& s = state();
    s.window->lock_batch_controls(true);
    s.window->show_frm_dirlist();
    s.chosen_directory.clear();
    while (s.chosen_directory.empty())
        s.window->do_events();
    s.window->unload_frm_dirlist();
    s.window->lock_batch_controls(false);
}

bool is_cancel_mark(const std::string& answer) {
    return answer == "-1";
}

} // namespace

void walk_directory(const std::string& root, const walk_callbacks& on) {
    std::vector<std::string> paths{root};  // one per level
    std::vector<std::string> subdir_names; // the sub-directory being walked, per level above the current
    std::vector<dir_entry> listing = list_or_report(root, on);
    std::size_t pos = 0;
    for (;;) {
        if (pos < listing.size()) {
            const dir_entry entry = listing[pos++];
            if (entry.name == "." || entry.name == "..")
                continue;
            const std::string full = paths.back() + entry.name;
            if (entry.kind == entry_kind::directory && on.include_subdirs()) {
                subdir_names.push_back(entry.name);
                paths.push_back(with_trailing_backslash(full));
                listing = list_or_report(paths.back(), on);
                pos = 0;
            } else if (entry.kind == entry_kind::file) {
                on.file(full, entry.name);
            }
            continue;
        }
        if (subdir_names.empty())
            return;
        paths.pop_back();
        listing = list_or_report(paths.back(), on);
        pos = position_after(listing, subdir_names.back());
        subdir_names.pop_back();
    }
}

void convert_directory() {
    run_batch([] {
        auto& s = state();
        const auto wanted = compile(s.filename_pattern, "filename");
        const auto outputs = wanted ? compile(s.output_name_pattern, "output-name") : std::nullopt;
        if (!outputs)
            return;
        wait_for_picker();
        if (is_cancel_mark(s.chosen_directory))
            return;
        walk_directory(s.chosen_directory,
                       {[&] { return s.window->chk_includesubdirs() > 0; },
                        [&](const std::string& path, const std::string& name) {
                            if (!outputs->matches(name) && wanted->matches(name))
                                convert_in_batch(path);
                        },
                        [](const std::string& dir, const std::string& reason) { record_failure(dir, reason); }});
    });
}

} // namespace mod_convert
