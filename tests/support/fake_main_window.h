#pragma once
// A main window made of plain fields, for driving the engine without a toolkit.

#include "convert/main_window.h"

#include <functional>
#include <string>

namespace kivo_test {

class fake_main_window : public mod_convert::main_window {
public:
    std::string lbl_status, lbl_status_tooltip, lbl_note, lbl_currpath, lbl_nfiles;
    std::vector<std::string> nfiles_history; // every caption lbl_nfiles had
    int source = 1, target = 4;
    bool to_one = false;
    int matchfilename = 1, includesubdirs = 0, debug = 0;
    std::string from_filename = "*.dbf", to_filename = "*.tsv";
    bool locked = false;
    int lock_calls = 0;
    // What the directory picker answers when it is shown.
    std::function<void()> picker = [] {};

    void set_lbl_status(const std::string& c) override { lbl_status = c; }
    void set_lbl_status_tooltip(const std::string& t) override { lbl_status_tooltip = t; }
    void set_lbl_note(const std::string& c) override { lbl_note = c; }
    void set_lbl_currpath(const std::string& c) override { lbl_currpath = c; }
    void set_lbl_nfiles(const std::string& c) override;
    void refresh() override {}
    bool opt_from(int i) const override { return i == source; }
    bool opt_to(int i) const override { return i == target; }
    bool opt_to_one() const override { return to_one; }
    int chk_matchfilename() const override { return matchfilename; }
    int chk_includesubdirs() const override { return includesubdirs; }
    int chk_debug() const override { return debug; }
    std::string txt_from_filename() const override { return from_filename; }
    std::string txt_to_filename() const override { return to_filename; }
    void show_frm_dirlist() override {}
    void unload_frm_dirlist() override {}
    void do_events() override { picker(); }
    void lock_batch_controls(bool lock) override;
};

} // namespace kivo_test
