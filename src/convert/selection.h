#pragma once
// The file-selection batch and the dialog that also chooses the single output file.

#include "convert/common_dialog.h"
#include "platform/native.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mod_convert {

void convert_selected_files(common_dialog& dialog);
void prepare_select_files_dialog(common_dialog& dialog, std::int32_t flags, const std::string& title);
void show_file_dialog(common_dialog& dialog, std::int32_t flags, const std::string& title, std::int16_t filter_index,
                      const std::string& pattern);
// Element 0: the directory, ending in a separator; then the bare names. False for an empty text.
bool split_selection(const std::string& text, std::vector<std::string>& list, char sep = platform::native_separator());
// The chosen file's name; after a cancel the previous choice stands and its name is returned.
std::string choose_output_file(common_dialog& dialog);

} // namespace mod_convert
