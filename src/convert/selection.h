#pragma once
// The file-selection batch and the dialog that also chooses the single output file.

#include "convert/common_dialog.h"
#include "convert/main_window.h"
#include "platform/conventions.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mod_convert {

void convert_selected_files(main_window& window, common_dialog& dialog);
void prepare_select_files_dialog(const batch_choices& choices, common_dialog& dialog, std::int32_t flags,
                                 const std::string& title);
void show_file_dialog(common_dialog& dialog, std::int32_t flags, const std::string& title, std::int16_t filter_index,
                      const std::string& pattern);
// Element 0: the directory, ending in a separator; then the names: bare, or full paths for files
// picked from other folders. False for an empty text.
bool split_selection(const std::string& text, std::vector<std::string>& list, char sep = platform::native_separator());
// The full path of element i (from 1) of the list.
std::string selected_path(const std::vector<std::string>& list, std::size_t i, char sep = platform::native_separator());
// The chosen file's name; after a cancel the previous choice stands and its name is returned. A file
// that cannot be the single output file is refused like a cancel that leaves no choice.
std::string choose_output_file(common_dialog& dialog);

} // namespace mod_convert
