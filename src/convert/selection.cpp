#include "convert/selection.h"

#include "convert/batch.h"
#include "convert/main_window.h"
#include "convert/state.h"
#include "util/mod_utils_dsw.h"

#include <cctype>

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

const char* const all_files_filter = "All files (*.*)|*.*";

bool equals_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

void convert_selected_files(common_dialog& dialog) {
    run_batch([&] {
        dialog.FileName.clear();
        prepare_select_files_dialog(dialog, OFN_EXPLORER | OFN_ALLOWMULTISELECT, "Select files");
        std::vector<std::string> list;
        if (!split_selection(dialog.FileName, list))
            return;
        for (std::size_t i = 1; i < list.size(); ++i)
            convert_in_batch(list[0] + list[i]);
    });
}

void prepare_select_files_dialog(common_dialog& dialog, std::int32_t flags, const std::string& title) {
    const main_window& w = *state().window;
    const bool user_filter = w.chk_matchfilename() > 0 && !equals_ignoring_case(w.txt_from_filename(), "*.fxt");
    show_file_dialog(dialog, flags, title, user_filter ? 0 : 1, user_filter ? w.txt_from_filename() : "");
}

void show_file_dialog(common_dialog& dialog, std::int32_t flags, const std::string& title, std::int16_t filter_index,
                      const std::string& pattern) {
    dialog.Flags = flags;
    dialog.Filter = all_files_filter;
    if (filter_index != 0) {
        dialog.FilterIndex = filter_index;
    } else {
        dialog.Filter = dialog.Filter + "|User-specified (" + pattern + ")|" + pattern;
        dialog.FilterIndex = 2;
    }
    dialog.DialogTitle = title;
    dialog.ShowOpen();
}

bool split_selection(const std::string& text, std::vector<std::string>& list, char sep) {
    if (text.empty())
        return false;
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
        const auto nul = text.find('\0', start);
        names.push_back(text.substr(start, nul == std::string::npos ? std::string::npos : nul - start));
        if (nul == std::string::npos || nul + 1 == text.size())
            break;
        start = nul + 1;
    }
    if (names.size() == 1)
        names = {dir_part(names[0], sep), file_name_part(names[0], sep)};
    else
        names[0] = with_trailing_backslash(names[0], sep);
    list = std::move(names);
    return true;
}

std::string choose_output_file(common_dialog& dialog) {
    dialog.FileName.clear();
    show_file_dialog(dialog, OFN_EXPLORER, "Select an output file", 1, "");
    if (!dialog.FileName.empty())
        state().single_output_file = dialog.FileName;
    return file_name_part(state().single_output_file);
}

} // namespace mod_convert
