#include "forms/frm_main_layout.h"

#include "convert/formats.h"
#include "forms/app_helpers.h"
#include "forms/widgets.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>

namespace forms {

namespace mc = mod_convert;

namespace {

// Column and row (from 1) of each format's option, by format index.
constexpr int option_column[12] = {1, 1, 1, 1, 2, 2, 1, 2, 1, 2, 2, 2};
constexpr int option_row[12] = {1, 2, 3, 4, 1, 4, 6, 6, 5, 5, 3, 2};
// Focus order inside a format frame: column 1 top to bottom, then column 2 without csv.
constexpr int option_focus_order[] = {mc::agn, mc::dbf, mc::spr,  mc::wrd, mc::wve, mc::pic,
                                      mc::tsv, mc::txt, mc::html, mc::wav, mc::pcx};

QGroupBox* frame(const char* name, const QString& title, QWidget* parent, QRect geometry) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

std::array<QRadioButton*, 12> format_options(const char* array_name, QWidget* parent) {
    std::array<QRadioButton*, 12> options{};
    for (int i = 0; i < mc::format_count; ++i) {
        const int left = option_column[i] == 1 ? 120 : 1440;
        const int width = option_column[i] == 1 ? 1320 : 2295;
        auto* option = new QRadioButton(from_core(mc::format_caption(i)), parent);
        place(option, "", twips(left, 240 * option_row[i], width, 255));
        option->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(array_name)).arg(i));
        options[i] = option;
    }
    return options;
}

void build_controls(frm_main_controls& c, QMainWindow& window) {
    auto* client = new QWidget(&window);
    client->setObjectName(QStringLiteral("client"));
    window.setCentralWidget(client);

    c.Frame1 = frame("Frame1", QStringLiteral("FROM"), client, twips(120, 120, 6015, 2295));
    c.Frame5 = frame("Frame5", QStringLiteral("format"), c.Frame1, twips(120, 240, 3735, 1815));
    c.Frame7 = frame("Frame7", QStringLiteral("files"), c.Frame1, twips(3960, 240, 1935, 1815));
    c.chk_matchfilename = place(new wrap_check_box(QStringLiteral("only convert filenames matching:"), c.Frame7),
                                "chk_matchfilename", twips(120, 240, 1695, 375));
    c.chk_matchfilename->setChecked(true);
    c.txt_from_filename = place(new QLineEdit(c.Frame7), "txt_from_filename", twips(120, 720, 1695, 285));
    c.chk_includesubdirs = place(new wrap_check_box(QStringLiteral("include sub-dirs if converting by dir"), c.Frame7),
                                 "chk_includesubdirs", twips(120, 1200, 1695, 375));

    c.Frame2 = frame("Frame2", QStringLiteral("TO"), client, twips(120, 2520, 6015, 2295));
    c.Frame6 = frame("Frame6", QStringLiteral("format"), c.Frame2, twips(120, 240, 3735, 1815));
    c.Frame4 = frame("Frame4", QStringLiteral("files"), c.Frame2, twips(3960, 240, 1935, 1815));
    c.Label2 = place(new QLabel(QStringLiteral("output to:"), c.Frame4), "Label2", twips(120, 240, 1575, 255));
    c.opt_to_many = place(new QRadioButton(QStringLiteral("individual files"), c.Frame4), "opt_to_many",
                          twips(120, 480, 1575, 255));
    c.opt_to_one =
        place(new QRadioButton(QStringLiteral("single file"), c.Frame4), "opt_to_one", twips(120, 720, 1575, 255));
    c.opt_to_many->setChecked(true);
    c.lbl_to_filename =
        place(new QLabel(QStringLiteral("output filename:"), c.Frame4), "lbl_to_filename", twips(120, 1080, 1695, 255));
    c.txt_to_filename = place(new QLineEdit(c.Frame4), "txt_to_filename", twips(120, 1320, 1695, 285));
    c.txt_to_filename->setPlaceholderText(QStringLiteral("asked at the next run"));

    c.Frame3 = frame("Frame3", QStringLiteral("Program status"), client, twips(120, 4920, 6015, 1095));
    c.lbl_nfiles = place(new caption_label(c.Frame3), "lbl_nfiles", twips(120, 240, 5775, 255));
    c.lbl_currpath = place(new caption_label(c.Frame3), "lbl_currpath", twips(120, 480, 5775, 255));
    c.lbl_status = place(new active_label(c.Frame3), "lbl_status", twips(120, 720, 5775, 255));
    c.lbl_currpath->setElidePath(true);
    c.lbl_nfiles->setCaption(QStringLiteral("number of files"));
    c.lbl_currpath->setCaption(QStringLiteral("current path"));
    c.lbl_status->setCaption(QStringLiteral("status"));

    c.cmd_about = place(new wrap_button(QStringLiteral("about"), client), "cmd_about", twips(6360, 240, 975, 735));
    c.lbl_note = place(new caption_label(client), "lbl_note", twips(6360, 1320, 975, 1455));
    c.lbl_note->setWordWrap(true);
    c.lbl_note->setShrinkToFit(true);
    c.cmd_selectfiles = place(new wrap_button(QStringLiteral("select files to convert"), client), "cmd_selectfiles",
                              twips(6360, 3120, 975, 735));
    c.cmd_selectdir = place(new wrap_button(QStringLiteral("select directory to convert"), client), "cmd_selectdir",
                            twips(6360, 3960, 975, 735));
    c.cmd_exit = place(new wrap_button(QStringLiteral("Exit"), client), "cmd_exit", twips(6360, 5160, 975, 735));
    c.cmd_exit->setToolTip(
        QStringLiteral("Not really needed (closing the window does the same), but a user asked for it."));
    c.chk_debug =
        place(new wrap_check_box(QStringLiteral("debug mode"), client), "chk_debug", twips(7560, 5520, 855, 495));

    c.opt_from = format_options("opt_from", c.Frame5);
    c.opt_to = format_options("opt_to", c.Frame6);
    c.opt_from[mc::dbf]->setChecked(true);
    c.opt_from[mc::txt]->setEnabled(false);
    c.opt_to[mc::tsv]->setChecked(true);
}

void build_menus(frm_main_controls& c, QMainWindow& window) {
    auto action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    c.menu_file = window.menuBar()->addMenu(QStringLiteral("&File"));
    c.menu_file->setObjectName(QStringLiteral("menu_file"));
    c.menu_file_selectfiles = action(c.menu_file, "menu_file_selectfiles", QStringLiteral("Select &files to convert"));
    c.menu_file_selectdir = action(c.menu_file, "menu_file_selectdir", QStringLiteral("Select &directory to convert"));
    c.menu_file_line1 = c.menu_file->addSeparator();
    c.menu_file_line1->setObjectName(QStringLiteral("menu_file_line1"));
    c.menu_file_exit = action(c.menu_file, "menu_file_exit", QStringLiteral("E&xit"));
    c.menu_advanced = window.menuBar()->addMenu(QStringLiteral("&Advanced"));
    c.menu_advanced->setObjectName(QStringLiteral("menu_advanced"));
    c.menu_advanced_options = action(c.menu_advanced, "menu_advanced_options", QStringLiteral("&Advanced options"));
    c.menu_help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    c.menu_help->setObjectName(QStringLiteral("menu_help"));
    c.menu_about = action(c.menu_help, "menu_about", QStringLiteral("&About"));
}

void set_focus_order(frm_main_controls& c) {
    std::vector<QWidget*> chain;
    for (int i : option_focus_order)
        chain.push_back(c.opt_from[i]);
    for (int i : option_focus_order)
        chain.push_back(c.opt_to[i]);
    chain.insert(chain.end(), {c.chk_matchfilename, c.txt_from_filename, c.chk_includesubdirs, c.opt_to_many,
                               c.opt_to_one, c.txt_to_filename, c.cmd_selectfiles, c.cmd_selectdir, c.cmd_about,
                               c.chk_debug, c.cmd_exit, c.opt_from[mc::csv], c.opt_to[mc::csv], c.lbl_status});
    set_focus_chain(chain);
}

} // namespace

void lay_out(frm_main_controls& c, QMainWindow& window) {
    build_controls(c, window);
    build_menus(c, window);
    set_focus_order(c);
}

} // namespace forms
