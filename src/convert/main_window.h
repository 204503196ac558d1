#pragma once
// What a batch touches of the main window: the choices it starts from, what it shows while it runs,
// the directory picker, and the waits that keep the window alive.

#include <cstdint>
#include <string>

namespace mod_convert {

// The window's choices, taken once when a batch starts: the batch reads nothing else of the window's.
struct batch_choices {
    std::int32_t source_format = -1; // the first selected opt_from, -1 when none is
    std::int32_t target_format = -1; // the first selected opt_to
    bool opt_to_one = false;
    int chk_matchfilename = 0;
    int chk_includesubdirs = 0;
    int chk_debug = 0;
    std::string txt_from_filename;
    std::string txt_to_filename;
    std::string single_output_file; // the module's, as it stood (the window does not fill it)
};

// "*.*" unless the filename box is ticked: then its text.
std::string filename_pattern(const batch_choices& choices);

// choosing: the picker or the file dialog is open, nothing can start or change.
// converting: the same, but the run button that started the batch reads "stop".
enum class batch_phase { idle, choosing, converting };

class main_window {
public:
    virtual ~main_window() = default;

    virtual batch_choices choices() const = 0;

    virtual void set_lbl_status(const std::string& caption) = 0;
    virtual void set_lbl_status_tooltip(const std::string& text) = 0;
    virtual void set_lbl_note(const std::string& caption) = 0;
    virtual void set_lbl_currpath(const std::string& caption) = 0;
    virtual void set_lbl_nfiles(const std::string& caption) = 0;

    virtual void set_batch_phase(batch_phase phase) = 0;
    virtual bool stop_requested() const = 0;

    // The directory picker, shown without modality; the engine polls chosen_directory meanwhile.
    virtual void show_frm_dirlist() = 0;
    virtual void unload_frm_dirlist() = 0;
    virtual void do_events() = 0; // sleeps until events arrive or wake() is called, then runs them
    virtual void wake() = 0;      // callable from any thread
};

} // namespace mod_convert
