#pragma once
// A main window made of plain fields, for driving the engine without a toolkit.

#include "convert/main_window.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace kivo_test {

class fake_main_window : public mod_convert::main_window {
public:
    std::string lbl_status, lbl_status_tooltip, lbl_note, lbl_currpath, lbl_nfiles;
    std::vector<std::string> nfiles_history; // every caption lbl_nfiles had
    int source = 1, target = 4;
    bool to_one = false;
    int matchfilename = 1, includesubdirs = 0, debug = 0;
    std::string from_filename = "*.dbf", to_filename = "*.tsv";
    mod_convert::batch_phase phase = mod_convert::batch_phase::idle;
    std::vector<mod_convert::batch_phase> phases; // every phase the batch set
    bool stop = false;
    int events = 0; // do_events calls
    // What the directory picker answers when it is shown; what else happens while events run.
    std::function<void()> picker = [] {};
    std::function<void()> on_events = [] {};

    mod_convert::batch_choices choices() const override;
    void set_lbl_status(const std::string& c) override { lbl_status = c; }
    void set_lbl_status_tooltip(const std::string& t) override { lbl_status_tooltip = t; }
    void set_lbl_note(const std::string& c) override { lbl_note = c; }
    void set_lbl_currpath(const std::string& c) override { lbl_currpath = c; }
    void set_lbl_nfiles(const std::string& c) override;
    void set_batch_phase(mod_convert::batch_phase p) override;
    bool stop_requested() const override { return stop; }
    void show_frm_dirlist() override {}
    void unload_frm_dirlist() override {}
    void do_events() override;
    void wake() override;

private:
    std::mutex mutex_;
    std::condition_variable woken_;
    bool wake_pending_ = false;
};

} // namespace kivo_test
