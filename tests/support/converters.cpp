#include "converters.h"

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/state.h"
#include "platform/conventions.h"

namespace kivo_test {

engine_test::engine_test() : app(root / "app"), data(root / "data") {
    make_dir(app);
    make_dir(data);
    auto& s = mod_convert::state();
    s = mod_convert::module_state{};
    s.app_dir = app;
    s.exe_base_name = "kivo";
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

std::string engine_test::input(const std::string& name, const std::string& content) {
    const std::string path = data + platform::native_separator() + name;
    write_file(path, content);
    return path;
}

void engine_test::run(const std::vector<std::string>& inputs) {
    mod_convert::run_batch(window, [&](mod_convert::batch& b) {
        for (const auto& in : inputs)
            mod_convert::convert_in_batch(b, in);
    });
}

void engine_test::single_file(const std::string& path) {
    window.to_one = true;
    window.to_filename = path.substr(path.find_last_of(platform::native_separator()) + 1);
    mod_convert::state().single_output_file = path;
}

std::vector<std::string> engine_test::logged() const {
    std::vector<std::string> lines;
    std::string text = exists(app + "/kivo.log") ? read_file(app + "/kivo.log") : std::string();
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::string engine_test::args_of(const std::string& converter) const {
    return read_file(app + "/" + converter + ".args");
}
std::string engine_test::stdin_of(const std::string& converter) const {
    return read_file(app + "/" + converter + ".stdin");
}

} // namespace kivo_test
