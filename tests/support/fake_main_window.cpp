#include "fake_main_window.h"

#include <chrono>

namespace kivo_test {

mod_convert::batch_choices fake_main_window::choices() const {
    mod_convert::batch_choices c;
    c.source_format = source;
    c.target_format = target;
    c.opt_to_one = to_one;
    c.chk_matchfilename = matchfilename;
    c.chk_includesubdirs = includesubdirs;
    c.chk_debug = debug;
    c.txt_from_filename = from_filename;
    c.txt_to_filename = to_filename;
    return c;
}

void fake_main_window::set_lbl_nfiles(const std::string& c) {
    lbl_nfiles = c;
    nfiles_history.push_back(c);
}

void fake_main_window::set_batch_phase(mod_convert::batch_phase p) {
    phase = p;
    phases.push_back(p);
}

void fake_main_window::do_events() {
    ++events;
    picker();
    on_events();
    std::unique_lock<std::mutex> lock(mutex_);
    woken_.wait_for(lock, std::chrono::milliseconds(5), [this] { return wake_pending_; });
    wake_pending_ = false;
}

void fake_main_window::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wake_pending_ = true;
    }
    woken_.notify_all();
}

} // namespace kivo_test
