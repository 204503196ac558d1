#pragma once
// The main window: the run's choices, the run buttons, the status display, and the rules that
// keep source, target and output mode consistent.

#include "convert/main_window.h"
#include "forms/frm_main_layout.h"

#include <QFileSystemWatcher>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class QPushButton;

namespace mod_convert {
class common_dialog;
}

namespace forms {

class frm_about;
class frm_dirlist;

class frm_main : public QMainWindow, public mod_convert::main_window, private frm_main_controls {
    Q_OBJECT
public:
    explicit frm_main(QWidget* parent = nullptr);
    ~frm_main() override;

    mod_convert::common_dialog& CommonDialog1() { return *common_dialog_; }

    // main_window
    mod_convert::batch_choices choices() const override;
    void set_lbl_status(const std::string& caption) override;
    void set_lbl_status_tooltip(const std::string& text) override;
    void set_lbl_note(const std::string& caption) override;
    void set_lbl_currpath(const std::string& caption) override;
    void set_lbl_nfiles(const std::string& caption) override;
    void set_batch_phase(mod_convert::batch_phase phase) override;
    bool stop_requested() const override;
    void show_frm_dirlist() override;
    void unload_frm_dirlist() override;
    void do_events() override;
    void wake() override;

public slots:
    void Form_Load();
    void cmd_exit_Click();
    void menu_file_exit_Click();
    void cmd_about_Click();
    void menu_about_Click();
    void menu_advanced_options_Click();
    void opt_from_Click(int index);
    void opt_to_Click(int index);
    void opt_to_many_Click();
    void opt_to_one_Click();
    void chk_matchfilename_Click();
    void cmd_selectfiles_Click();
    void cmd_selectdir_Click();
    void menu_file_selectfiles_Click();
    void menu_file_selectdir_Click();
    void lbl_status_Click();    // opens the conversion log
    void Form_KeyDown(int key); // Escape stops a batch

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override; // the gate looks again when the window becomes active

private:
    void connect_handlers();

    void apply_source_rules();
    void set_format_pair(int source, int target);
    void update_file_options();
    void update_output_filename();
    void check_converter();
    void set_run_enabled(bool enabled);
    // The note and the output box's tool tip: the gate's refusal, or the single output file chosen.
    void show_output_choice();
    // A change of the pair forgets the single output file chosen for the old one.
    void forget_single_output();
    void show_progress(); // the labels a batch changes, at most every tick
    void request_stop();
    // Runs a batch started by `starter`, or asks the running batch to stop.
    void run_or_stop(QPushButton* starter, const std::function<void()>& run);

    std::unique_ptr<mod_convert::common_dialog> common_dialog_;
    QPointer<frm_dirlist> dirlist_;
    QPointer<frm_about> about_;
    // The batch in progress, if any: the button that started it, a stop asked for, a close waiting.
    mod_convert::batch_phase phase_ = mod_convert::batch_phase::idle;
    QPushButton* starter_ = nullptr;
    QString starter_caption_;
    bool stop_requested_ = false;
    bool converter_present_ = false; // the gate's last verdict
    bool close_pending_ = false;
    // What a batch shows of its progress waits for the next tick: nobody reads 700 changes a second.
    QTimer progress_tick_;
    QString pending_currpath_, pending_nfiles_;
    // A converter copied into the program's folder while Kivo runs is found without another click.
    QFileSystemWatcher program_folder_;
};

} // namespace forms
