#include "converters.h"

#include "convert/formats.h"
#include "convert/state.h"

namespace kivo_test {

engine_test::engine_test() : app(root / "app"), data(root / "data") {
    make_dir(app);
    make_dir(data);
    auto& s = mod_convert::state();
    s = mod_convert::module_state{};
    s.app_dir = app;
    s.exe_base_name = "kivo";
    s.window = &window;
    pair(mod_convert::dbf, mod_convert::tsv);
}

engine_test::~engine_test() {
    mod_convert::state() = mod_convert::module_state{};
}

void engine_test::pair(int source, int target) {
    window.source = source;
    window.target = target;
    mod_convert::state().source_format = source;
    mod_convert::state().target_format = target;
    window.from_filename = "*." + mod_convert::format_ext(source);
    window.to_filename = "*." + mod_convert::format_ext(target);
}

std::string engine_test::args_of(const std::string& converter) const {
    return read_file(app + "/" + converter + ".args");
}
std::string engine_test::stdin_of(const std::string& converter) const {
    return read_file(app + "/" + converter + ".stdin");
}

} // namespace kivo_test
