#include "convert/selection.h"

#include "convert/batch.h"
#include "convert/path_checks.h"
#include "convert/state.h"
#include "util/mod_utils_dsw.h"

namespace mod_convert {

using namespace mod_utils_dsw;

namespace {

const char* const all_files_filter = "All files (*.*)|*.*";

} // namespace

void convert_selected_files(main_window& window, common_dialog& dialog) {
    run_batch(window, [&](batch& b) {
        dialog.FileName.clear();
        prepare_select_files_dialog(b.choices, dialog, OFN_EXPLORER | OFN_ALLOWMULTISELECT, "Select files");
        std::vector<std::string> list;
        if (!split_selection(dialog.FileName, list))
            return;
        if (!begin_converting(b))
            return;
        set_total(b, static_cast<int>(list.size() - 1));
        for (std::size_t i = 1; i < list.size(); ++i)
            convert_in_batch(b, selected_path(list, i));
    });
}

void prepare_select_files_dialog(const batch_choices& choices, common_dialog& dialog, std::int32_t flags,
                                 const std::string& title) {
    const std::string& typed = choices.txt_from_filename;
    const bool user_filter = choices.chk_matchfilename > 0 && !equals_ignoring_case(typed, "*.fxt");
    show_file_dialog(dialog, flags, title, user_filter ? 0 : 1, user_filter ? typed : "");
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

std::string selected_path(const std::vector<std::string>& list, std::size_t i, char sep) {
    // A name never holds a separator, so one that does is a file from another folder.
    return list[i].find(sep) == std::string::npos ? list[0] + list[i] : list[i];
}

std::string choose_output_file(common_dialog& dialog) {
    dialog.FileName.clear();
    show_file_dialog(dialog, OFN_EXPLORER, "Select an output file", 1, "");
    if (!dialog.FileName.empty())
        state().single_output_file = single_output_problem(dialog.FileName).empty() ? dialog.FileName : "";
    return file_name_part(state().single_output_file);
}

} // namespace mod_convert
