#pragma once
// Whether the current pair's converter lies in the application directory, and the note when not.

#include <string>

namespace mod_convert {

bool converter_present();
std::string refusal_note(const std::string& converter_name);

} // namespace mod_convert
