#include "convert/converter_gate.h"

#include "convert/formats.h"
#include "convert/state.h"
#include "platform/file_lookup.h"
#include "util/mod_utils_dsw.h"

namespace mod_convert {

bool converter_present() {
    return platform::program_present(mod_utils_dsw::with_trailing_backslash(state().app_dir), converter_command(false));
}

std::string refusal_note(const std::string& converter_name) {
    return "Conversion is not possible.\r" + converter_name + "\r is not present in the application directory.";
}

} // namespace mod_convert
