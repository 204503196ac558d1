#pragma once
// The main window: the run's choices, the run buttons, the status display, and the rules that
// keep source, target and output mode consistent.

#include "convert/main_window.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace mod_convert {
class common_dialog;
}

namespace forms {

class caption_label;
class frm_about;
class frm_dirlist;
class wrap_check_box;

class frm_main : public QMainWindow, public mod_convert::main_window {
    Q_OBJECT
public:
    explicit frm_main(QWidget* parent = nullptr);
    ~frm_main() override;

    mod_convert::common_dialog& CommonDialog1() { return *common_dialog_; }

    // main_window
    void set_lbl_status(const std::string& caption) override;
    void set_lbl_status_tooltip(const std::string& text) override;
    void set_lbl_note(const std::string& caption) override;
    void set_lbl_currpath(const std::string& caption) override;
    void set_lbl_nfiles(const std::string& caption) override;
    void refresh() override;
    bool opt_from(int index) const override;
    bool opt_to(int index) const override;
    bool opt_to_one() const override;
    int chk_matchfilename() const override;
    int chk_includesubdirs() const override;
    int chk_debug() const override;
    std::string txt_from_filename() const override;
    std::string txt_to_filename() const override;
    void show_frm_dirlist() override;
    void unload_frm_dirlist() override;
    void do_events() override;
    void lock_batch_controls(bool locked) override;

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

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload

private:
    void build_controls();
    void build_menus();
    void set_focus_order();
    void connect_handlers();

    void apply_source_rules();
    void set_format_pair(int source, int target);
    void update_file_options();
    void update_output_filename();
    void check_converter();
    void set_run_enabled(bool enabled);

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6, *Frame7;
    std::array<QRadioButton*, 12> opt_from_;
    std::array<QRadioButton*, 12> opt_to_;
    wrap_check_box *chk_matchfilename_, *chk_includesubdirs_, *chk_debug_;
    QLineEdit *txt_from_filename_, *txt_to_filename_;
    QLabel *Label2, *lbl_to_filename;
    QRadioButton *opt_to_many, *opt_to_one_;
    caption_label *lbl_nfiles, *lbl_currpath, *lbl_status, *lbl_note;
    QPushButton *cmd_about, *cmd_selectfiles, *cmd_selectdir, *cmd_exit;
    QMenu *menu_file, *menu_advanced, *menu_help;
    QAction *menu_file_selectfiles, *menu_file_selectdir, *menu_file_line1, *menu_file_exit, *menu_advanced_options,
        *menu_about;

    std::unique_ptr<mod_convert::common_dialog> common_dialog_;
    QPointer<frm_dirlist> dirlist_;
    QPointer<frm_about> about_;
    bool run_enabled_before_lock_ = false;
};

} // namespace forms
