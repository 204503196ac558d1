#include "fake_main_window.h"

namespace kivo_test {

void fake_main_window::set_lbl_nfiles(const std::string& c) {
    lbl_nfiles = c;
    nfiles_history.push_back(c);
}

void fake_main_window::lock_batch_controls(bool lock) {
    locked = lock;
    ++lock_calls;
}

} // namespace kivo_test
