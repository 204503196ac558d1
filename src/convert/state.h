#pragma once
// The module state of mod_convert: one instance for the program's life.

#include <cstdint>
#include <string>

namespace mod_convert {

struct module_state {
    std::int32_t source_format = 0;
    std::int32_t target_format = 0;
    std::string single_output_file;
    std::int32_t files_processed = 0;
    std::string chosen_directory; // empty: picker pending; "-1": cancelled

    std::string app_dir;       // the directory that holds the program
    std::string exe_base_name; // names the conversion log
    std::string user_job_dir;  // the job files' place when app_dir is read-only
};

module_state& state();

} // namespace mod_convert
