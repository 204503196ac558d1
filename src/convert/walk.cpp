#include "convert/walk.h"

#include "convert/batch.h"
#include "convert/convert_file.h"
#include "convert/pattern.h"
#include "convert/state.h"
#include "platform/errors.h"
#include "platform/job_files.h"
#include "util/mod_utils_dsw.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace mod_convert {

using mod_utils_dsw::with_trailing_backslash;
using platform::dir_entry;
using platform::entry_kind;

namespace {

struct level {
    std::string path; // ends in a separator
    std::vector<dir_entry> listing;
    std::size_t next = 0;
};

std::vector<dir_entry> list_or_report(const std::string& dir, const walk_callbacks& on) {
    std::vector<dir_entry> listing;
    try {
        listing = on.list(dir);
    } catch (const platform::os_error& e) {
        on.unreadable(dir, e.what());
    }
    if (on.listed)
        on.listed(dir, listing);
    return listing;
}

// Which names the output-name test skips: in single-file mode the output file's own name, taken
// as plain text; otherwise the output box's pattern.
std::optional<std::function<bool(const std::string&)>> output_test(batch& b, const std::string& pattern) {
    if (b.choices.opt_to_one) {
        const std::string own = mod_utils_dsw::file_name_part(b.choices.single_output_file);
        return [own](const std::string& name) { return mod_utils_dsw::equals_ignoring_case(name, own); };
    }
    try {
        return [p = name_pattern(pattern)](const std::string& name) { return p.matches(name); };
    } catch (const bad_pattern&) {
        b.end = {batch_end::kind::invalid_output_pattern, pattern, {}, {}};
        return std::nullopt;
    }
}

std::optional<name_pattern> filename_test(batch& b, const std::string& pattern) {
    try {
        return name_pattern(pattern);
    } catch (const bad_pattern&) {
        b.end = {batch_end::kind::invalid_filename_pattern, pattern, {}, {}};
        return std::nullopt;
    }
}

void wait_for_picker(main_window& window) {
    auto& s = state();
    window.show_frm_dirlist();
    s.chosen_directory.clear();
    while (s.chosen_directory.empty())
        window.do_events();
    window.unload_frm_dirlist();
}

bool is_cancel_mark(const std::string& answer) {
    return answer == "-1";
}

// The files the walk will hand over, counted by the same walk before the first job; the window's
// events run every 20 ms meanwhile.
int count_wanted(batch& b, walk_callbacks on, const std::function<bool(const std::string&)>& wanted) {
    using clock = std::chrono::steady_clock;
    auto next_events = clock::now();
    const auto now_and_then = [&] {
        if (clock::now() < next_events)
            return;
        keep_window_alive(b);
        next_events = clock::now() + std::chrono::milliseconds(20);
    };
    int files = 0;
    on.file = [&](const std::string&, const std::string& name) {
        now_and_then();
        files += wanted(name) ? 1 : 0;
    };
    on.unreadable = [](const std::string&, const std::string&) {};
    on.list = [&](const std::string& dir) {
        now_and_then();
        return platform::list_directory(dir);
    };
    walk_directory(state().chosen_directory, on);
    return files;
}

// What a killed Kivo left beside an output this batch writes goes, where Kivo can show that it made
// it. A name's shape is no proof: anything else is the user's, and stays.
void remove_leftovers(const batch& b, const std::string& dir, std::vector<dir_entry>& listing,
                      const std::function<bool(const std::string&)>& converts) {
    const auto looks_like_one = [](const dir_entry& e) {
        return e.kind != entry_kind::link_to_directory && platform::temporary_kivo_name(e.name);
    };
    if (b.choices.opt_to_one || std::none_of(listing.begin(), listing.end(), looks_like_one))
        return;
    std::vector<std::string> outputs;
    for (const dir_entry& e : listing)
        if (e.kind == entry_kind::file && converts(e.name))
            outputs.push_back(mod_utils_dsw::file_name_part(output_path(b.choices, dir + e.name)));
    const auto removed = [&](const dir_entry& e) {
        const auto of_this_batch = [&e](const std::string& output) {
            return platform::temporary_name_of(e.name, output);
        };
        return looks_like_one(e) && std::any_of(outputs.begin(), outputs.end(), of_this_batch) &&
               platform::remove_leftover(dir + e.name);
    };
    listing.erase(std::remove_if(listing.begin(), listing.end(), removed), listing.end());
}

std::string shown_folder(const std::string& dir) {
    return dir.size() > 1 && dir.back() == platform::native_separator() ? dir.substr(0, dir.size() - 1) : dir;
}

} // namespace

void walk_directory(const std::string& root, const walk_callbacks& on) {
    std::vector<level> levels;
    levels.push_back({root, list_or_report(root, on)});
    while (!levels.empty()) {
        level& current = levels.back();
        if (current.next == current.listing.size()) {
            levels.pop_back();
            continue;
        }
        const dir_entry entry = current.listing[current.next++];
        const std::string full = current.path + entry.name;
        if (entry.kind == entry_kind::directory) {
            if (on.directory && !on.directory(full, entry.name))
                continue;
            if (on.include_subdirs) {
                const std::string path = with_trailing_backslash(full);
                levels.push_back({path, list_or_report(path, on)});
            }
        } else if (entry.kind != entry_kind::link_to_directory) {
            on.file(full, entry.name);
        }
    }
}

void convert_directory(main_window& window) {
    run_batch(window, [&](batch& b) {
        auto& s = state();
        const std::string pattern = filename_pattern(b.choices);
        const auto wanted = filename_test(b, pattern);
        const auto skipped = wanted ? output_test(b, b.choices.txt_to_filename) : std::nullopt;
        if (!skipped)
            return;
        wait_for_picker(window);
        if (is_cancel_mark(s.chosen_directory))
            return;
        if (!begin_converting(b))
            return;
        b.looked_for = pattern + " in " + shown_folder(s.chosen_directory);
        const auto converts = [&](const std::string& name) { return !(*skipped)(name) && wanted->matches(name); };
        walk_callbacks on;
        on.include_subdirs = b.choices.chk_includesubdirs > 0;
        set_total(b, count_wanted(b, on, converts));
        on.listed = [&](const std::string& dir, std::vector<dir_entry>& listing) {
            remove_leftovers(b, dir, listing, converts);
        };
        on.file = [&](const std::string& path, const std::string& name) {
            if (converts(name))
                convert_in_batch(b, path);
        };
        on.unreadable = [&](const std::string& dir, const std::string& reason) {
            record_outcome(b, outcome::skipped, dir, "cannot be listed (" + reason + ")");
        };
        walk_directory(s.chosen_directory, on);
    });
}

} // namespace mod_convert
