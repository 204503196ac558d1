#pragma once
// The main window's controls as its form designer laid them out: each with its name, its caption and
// its place in twips, the menus, and the order Tab moves in. frm_main holds them and gives them their
// behaviour.

#include <QtGlobal>

#include <array>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPushButton;
class QRadioButton;

namespace forms {

class active_label;
class caption_label;
class wrap_check_box;

struct frm_main_controls {
    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4, *Frame5, *Frame6, *Frame7;
    std::array<QRadioButton*, 12> opt_from;
    std::array<QRadioButton*, 12> opt_to;
    wrap_check_box *chk_matchfilename, *chk_includesubdirs, *chk_debug;
    QLineEdit *txt_from_filename, *txt_to_filename;
    QLabel *Label2, *lbl_to_filename;
    QRadioButton *opt_to_many, *opt_to_one;
    caption_label *lbl_nfiles, *lbl_currpath, *lbl_note;
    active_label* lbl_status;
    QPushButton *cmd_about, *cmd_selectfiles, *cmd_selectdir, *cmd_exit;
    QMenu *menu_file, *menu_advanced, *menu_help;
    QAction *menu_file_selectfiles, *menu_file_selectdir, *menu_file_line1, *menu_file_exit, *menu_advanced_options,
        *menu_about;
};

// Makes the controls inside `window` (its central widget and its menu bar), as designed.
void lay_out(frm_main_controls& controls, QMainWindow& window);

} // namespace forms
