#pragma once
// What the engine touches of the main window, named after its controls.

#include <string>

namespace mod_convert {

class main_window {
public:
    virtual ~main_window() = default;

    virtual void set_lbl_status(const std::string& caption) = 0;
    virtual void set_lbl_status_tooltip(const std::string& text) = 0;
    virtual void set_lbl_note(const std::string& caption) = 0;
    virtual void set_lbl_currpath(const std::string& caption) = 0;
    virtual void set_lbl_nfiles(const std::string& caption) = 0; // repaints the label at once
    virtual void refresh() = 0;                                  // repaints the whole window at once

    virtual bool opt_from(int index) const = 0;
    virtual bool opt_to(int index) const = 0;
    virtual bool opt_to_one() const = 0;
    virtual int chk_matchfilename() const = 0;
    virtual int chk_includesubdirs() const = 0;
    virtual int chk_debug() const = 0;
    virtual std::string txt_from_filename() const = 0;
    virtual std::string txt_to_filename() const = 0;

    // The directory picker, shown without modality; the engine polls chosen_directory meanwhile.
    virtual void show_frm_dirlist() = 0;
    virtual void unload_frm_dirlist() = 0;
    virtual void do_events() = 0; // sleeps until events arrive, then runs them
    // While the picker waits: no second batch, no change of the run's choices.
    virtual void lock_batch_controls(bool locked) = 0;
};

} // namespace mod_convert
