#include "converters.h"

#include "convert/formats.h"
#include "convert/state.h"

#include <sys/stat.h>

namespace kivo_test {

void write_converter(const std::string& app_dir, const std::string& name, const std::string& body) {
    const std::string path = app_dir + "/" + name;
    write_file(path, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
}

void write_recording_converter(const std::string& app_dir, const std::string& name, const std::string& output,
                               int exit_code) {
    const std::string base = app_dir + "/" + name;
    std::string body = "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + base + ".args'\n";
    // Only stdin-fed converters (no arguments) read their standard input.
    body += "if [ $# -eq 0 ]; then cat > '" + base + ".stdin'; fi\n";
    body += "printf '%s' '" + output + "'\nexit " + std::to_string(exit_code) + "\n";
    write_converter(app_dir, name, body);
}

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
