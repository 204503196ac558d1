#include "forms/frm_main.h"

#include "convert/batch.h"
#include "convert/formats.h"
#include "convert/gate.h"
#include "convert/selection.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "forms/app_helpers.h"
#include "forms/file_dialog.h"
#include "forms/frm_about.h"
#include "forms/frm_dirlist.h"
#include "forms/widgets.h"
#include "util/mod_utils_dsw.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QUrl>

namespace forms {

using mod_utils_dsw::from_core;
using mod_utils_dsw::to_core;
namespace mc = mod_convert;

namespace {

const char* const product_name = "kivo";

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

// A closed form is unloaded, even while its deletion is still pending.
template <typename Form> bool loaded(const QPointer<Form>& form) {
    return form && form->isVisible();
}

} // namespace

frm_main::frm_main(QWidget* parent) : QMainWindow(parent), common_dialog_(std::make_unique<file_dialog>(this)) {
    setObjectName(QStringLiteral("frm_main"));
    setFont(mod_utils_dsw::form_font());
    setWindowTitle(QStringLiteral("Convert data"));
    build_controls();
    build_menus();
    set_focus_order();
    const auto size_as_designed = [this] { resize(500, 411 + menuBar()->heightForWidth(500)); };
    size_as_designed();
    connect_handlers();
    Form_Load();
    fit_font(this);
    size_as_designed(); // the menu bar's height follows the font
}

frm_main::~frm_main() = default;

void frm_main::build_controls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Frame1 = frame("Frame1", QStringLiteral("FROM"), client, twips(120, 120, 6015, 2295));
    Frame5 = frame("Frame5", QStringLiteral("format"), Frame1, twips(120, 240, 3735, 1815));
    Frame7 = frame("Frame7", QStringLiteral("files"), Frame1, twips(3960, 240, 1935, 1815));
    chk_matchfilename = place(new wrap_check_box(QStringLiteral("only convert filenames matching:"), Frame7),
                              "chk_matchfilename", twips(120, 240, 1695, 375));
    chk_matchfilename->setChecked(true);
    txt_from_filename = place(new QLineEdit(Frame7), "txt_from_filename", twips(120, 720, 1695, 285));
    chk_includesubdirs = place(new wrap_check_box(QStringLiteral("include sub-dirs if converting by dir"), Frame7),
                               "chk_includesubdirs", twips(120, 1200, 1695, 375));

    Frame2 = frame("Frame2", QStringLiteral("TO"), client, twips(120, 2520, 6015, 2295));
    Frame6 = frame("Frame6", QStringLiteral("format"), Frame2, twips(120, 240, 3735, 1815));
    Frame4 = frame("Frame4", QStringLiteral("files"), Frame2, twips(3960, 240, 1935, 1815));
    Label2 = place(new QLabel(QStringLiteral("output to:"), Frame4), "Label2", twips(120, 240, 1575, 255));
    opt_to_many =
        place(new QRadioButton(QStringLiteral("individual files"), Frame4), "opt_to_many", twips(120, 480, 1575, 255));
    opt_to_one =
        place(new QRadioButton(QStringLiteral("single file"), Frame4), "opt_to_one", twips(120, 720, 1575, 255));
    opt_to_many->setChecked(true);
    lbl_to_filename =
        place(new QLabel(QStringLiteral("output filename:"), Frame4), "lbl_to_filename", twips(120, 1080, 1695, 255));
    txt_to_filename = place(new QLineEdit(Frame4), "txt_to_filename", twips(120, 1320, 1695, 285));
    txt_to_filename->setPlaceholderText(QStringLiteral("asked at the next run"));

    Frame3 = frame("Frame3", QStringLiteral("Program status"), client, twips(120, 4920, 6015, 1095));
    lbl_nfiles = place(new caption_label(Frame3), "lbl_nfiles", twips(120, 240, 5775, 255));
    lbl_currpath = place(new caption_label(Frame3), "lbl_currpath", twips(120, 480, 5775, 255));
    lbl_status = place(new active_label(Frame3), "lbl_status", twips(120, 720, 5775, 255));
    lbl_currpath->setElidePath(true);
    lbl_nfiles->setCaption(QStringLiteral("number of files"));
    lbl_currpath->setCaption(QStringLiteral("current path"));
    lbl_status->setCaption(QStringLiteral("status"));

    cmd_about = place(new wrap_button(QStringLiteral("about"), client), "cmd_about", twips(6360, 240, 975, 735));
    lbl_note = place(new caption_label(client), "lbl_note", twips(6360, 1320, 975, 1455));
    lbl_note->setWordWrap(true);
    lbl_note->setShrinkToFit(true);
    cmd_selectfiles = place(new wrap_button(QStringLiteral("select files to convert"), client), "cmd_selectfiles",
                            twips(6360, 3120, 975, 735));
    cmd_selectdir = place(new wrap_button(QStringLiteral("select directory to convert"), client), "cmd_selectdir",
                          twips(6360, 3960, 975, 735));
    cmd_exit = place(new wrap_button(QStringLiteral("Exit"), client), "cmd_exit", twips(6360, 5160, 975, 735));
    cmd_exit->setToolTip(
        QStringLiteral("Not really needed (closing the window does the same), but a user asked for it."));
    chk_debug =
        place(new wrap_check_box(QStringLiteral("debug mode"), client), "chk_debug", twips(7560, 5520, 855, 495));

    opt_from = format_options("opt_from", Frame5);
    opt_to = format_options("opt_to", Frame6);
    opt_from[mc::dbf]->setChecked(true);
    opt_from[mc::txt]->setEnabled(false);
    opt_to[mc::tsv]->setChecked(true);
}

void frm_main::build_menus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    menu_file = menuBar()->addMenu(QStringLiteral("&File"));
    menu_file->setObjectName(QStringLiteral("menu_file"));
    menu_file_selectfiles = action(menu_file, "menu_file_selectfiles", QStringLiteral("Select &files to convert"));
    menu_file_selectdir = action(menu_file, "menu_file_selectdir", QStringLiteral("Select &directory to convert"));
    menu_file_line1 = menu_file->addSeparator();
    menu_file_line1->setObjectName(QStringLiteral("menu_file_line1"));
    menu_file_exit = action(menu_file, "menu_file_exit", QStringLiteral("E&xit"));
    menu_advanced = menuBar()->addMenu(QStringLiteral("&Advanced"));
    menu_advanced->setObjectName(QStringLiteral("menu_advanced"));
    menu_advanced_options = action(menu_advanced, "menu_advanced_options", QStringLiteral("&Advanced options"));
    menu_help = menuBar()->addMenu(QStringLiteral("&Help"));
    menu_help->setObjectName(QStringLiteral("menu_help"));
    menu_about = action(menu_help, "menu_about", QStringLiteral("&About"));
}

void frm_main::set_focus_order() {
    std::vector<QWidget*> chain;
    for (int i : option_focus_order)
        chain.push_back(opt_from[i]);
    for (int i : option_focus_order)
        chain.push_back(opt_to[i]);
    chain.insert(chain.end(), {chk_matchfilename, txt_from_filename, chk_includesubdirs, opt_to_many, opt_to_one,
                               txt_to_filename, cmd_selectfiles, cmd_selectdir, cmd_about, chk_debug, cmd_exit,
                               opt_from[mc::csv], opt_to[mc::csv], lbl_status});
    set_focus_chain(chain);
}

void frm_main::connect_handlers() {
    for (int i = 0; i < mc::format_count; ++i) {
        on_option_click(opt_from[i], [this, i] { opt_from_Click(i); });
        on_option_click(opt_to[i], [this, i] { opt_to_Click(i); });
    }
    on_option_click(opt_to_many, [this] { opt_to_many_Click(); });
    on_option_click(opt_to_one, [this] { opt_to_one_Click(); });
    connect(chk_matchfilename, &QCheckBox::clicked, this, &frm_main::chk_matchfilename_Click);
    connect(cmd_about, &QPushButton::clicked, this, &frm_main::cmd_about_Click);
    connect(cmd_selectfiles, &QPushButton::clicked, this, &frm_main::cmd_selectfiles_Click);
    connect(cmd_selectdir, &QPushButton::clicked, this, &frm_main::cmd_selectdir_Click);
    connect(cmd_exit, &QPushButton::clicked, this, &frm_main::cmd_exit_Click);
    connect(menu_file_selectfiles, &QAction::triggered, this, &frm_main::menu_file_selectfiles_Click);
    connect(menu_file_selectdir, &QAction::triggered, this, &frm_main::menu_file_selectdir_Click);
    connect(menu_file_exit, &QAction::triggered, this, &frm_main::menu_file_exit_Click);
    connect(menu_advanced_options, &QAction::triggered, this, &frm_main::menu_advanced_options_Click);
    connect(menu_about, &QAction::triggered, this, &frm_main::menu_about_Click);
    connect(lbl_status, &active_label::activated, this, &frm_main::lbl_status_Click);
    program_folder_.addPath(from_core(mc::state().app_dir));
    connect(&program_folder_, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (phase_ == mc::batch_phase::idle)
            check_converter();
    });
    progress_tick_.setInterval(50);
    progress_tick_.setSingleShot(true);
    connect(&progress_tick_, &QTimer::timeout, this, &frm_main::show_progress);
}

// ---- start-up and shut-down

void frm_main::Form_Load() {
    setWindowTitle(QLatin1String(product_name) + QLatin1Char(' ') + mod_utils_dsw::version_string());
    lbl_currpath->setCaption(QString());
    lbl_status->setCaption(QStringLiteral("Status: Idle"));
    lbl_nfiles->setCaption(QString());
    update_file_options();
    apply_source_rules();
}

void frm_main::closeEvent(QCloseEvent* event) {
    // A batch runs inside a click handler further down the stack: stop it, and close once it is over.
    mod_utils_dsw::unload_other_forms(this); // an open picker answers "-1"
    if (phase_ != mc::batch_phase::idle) {
        request_stop();
        close_pending_ = true;
        event->ignore();
        return;
    }
    event->accept();
}

void frm_main::request_stop() {
    stop_requested_ = true;
    // The batch waits for events; a stop asked from a handler that posts none must still reach it.
    wake();
}

void frm_main::keyPressEvent(QKeyEvent* event) {
    Form_KeyDown(event->key());
    QMainWindow::keyPressEvent(event);
}

void frm_main::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && phase_ == mc::batch_phase::idle)
        check_converter();
    QMainWindow::changeEvent(event);
}

void frm_main::Form_KeyDown(int key) {
    if (key == Qt::Key_Escape && phase_ == mc::batch_phase::converting)
        request_stop();
}

void frm_main::cmd_exit_Click() {
    close();
}
void frm_main::menu_file_exit_Click() {
    cmd_exit_Click();
}

void frm_main::cmd_about_Click() {
    if (!loaded(about_))
        about_ = new frm_about();
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void frm_main::menu_about_Click() {
    cmd_about_Click();
}

void frm_main::menu_advanced_options_Click() {
    QMessageBox box(QMessageBox::NoIcon, QLatin1String(product_name),
                    QStringLiteral("Support for the command line flags used by the conversion "
                                   "programs will be available in the next version of Kivo."),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("advanced_options_message"));
    box.exec();
}

// ---- format selection rules

void frm_main::opt_from_Click(int) {
    apply_source_rules();
}

void frm_main::opt_to_Click(int index) {
    mc::state().target_format = index;
    txt_to_filename->setText(QStringLiteral("*.") + from_core(mc::format_ext(index)));
    forget_single_output();
    check_converter();
}

void frm_main::opt_to_many_Click() {
    txt_to_filename->setText(QStringLiteral("*.") + from_core(mc::format_ext(mc::state().target_format)));
    update_file_options();
    show_output_choice();
}

void frm_main::opt_to_one_Click() {
    txt_to_filename->setText(from_core(mc::choose_output_file(*common_dialog_)));
    update_file_options();
    show_output_choice();
}

void frm_main::forget_single_output() {
    mc::state().single_output_file.clear();
    // Still single-file mode: the next run asks for the file.
    if (opt_to_one->isChecked())
        txt_to_filename->clear();
}

void frm_main::chk_matchfilename_Click() {
    update_file_options();
}

void frm_main::apply_source_rules() {
    opt_from[mc::html]->setEnabled(false);
    for (QRadioButton* option : opt_to)
        option->setEnabled(false);
    for (int source : mc::rule_sources()) {
        if (!opt_from[source]->isChecked())
            continue;
        for (int target : mc::offered_targets(source))
            set_format_pair(source, target);
        break;
    }
    forget_single_output();
    const bool single_possible = opt_to[mc::tsv]->isChecked() || opt_to[mc::csv]->isChecked();
    opt_to_one->setEnabled(single_possible);
    if (!single_possible)
        select_option(opt_to_many);
    check_converter();
    update_output_filename();
}

void frm_main::set_format_pair(int source, int target) {
    txt_from_filename->setText(QStringLiteral("*.") + from_core(mc::format_ext(source)));
    txt_to_filename->setText(QStringLiteral("*.") + from_core(mc::format_ext(target)));
    opt_to[target]->setEnabled(true);
    select_option(opt_to[target]);
    mc::state().target_format = target;
    mc::state().source_format = source;
}

void frm_main::update_file_options() {
    txt_from_filename->setEnabled(chk_matchfilename->isChecked());
    if (txt_to_filename->text().isEmpty())
        select_option(opt_to_many);
    update_output_filename();
}

void frm_main::update_output_filename() {
    const int source = mc::state().source_format;
    const bool editable = !mc::writes_own_output(source) && opt_to_many->isChecked();
    txt_to_filename->setEnabled(editable);
    lbl_to_filename->setEnabled(editable);
}

// ---- conversion gate and runs

void frm_main::check_converter() {
    set_run_enabled(mc::converter_present());
    show_output_choice();
}

void frm_main::show_output_choice() {
    const std::string& file = mc::state().single_output_file;
    const bool chosen = opt_to_one->isChecked() && !file.empty();
    txt_to_filename->setToolTip(chosen ? plain_tooltip(from_core(file)) : QString());
    if (!cmd_selectdir->isEnabled()) // the gate's verdict
        lbl_note->setCaption(from_core(mc::refusal_note(mc::converter_command(false))));
    else
        lbl_note->setCaption(chosen ? QStringLiteral("Single file:\r") + from_core(mod_utils_dsw::file_name_part(file))
                                    : QString());
}

void frm_main::set_run_enabled(bool enabled) {
    cmd_selectfiles->setEnabled(enabled);
    cmd_selectdir->setEnabled(enabled);
    menu_file_selectfiles->setEnabled(enabled);
    menu_file_selectdir->setEnabled(enabled);
}

void frm_main::run_or_stop(QPushButton* starter, const std::function<void()>& run) {
    if (phase_ != mc::batch_phase::idle) {
        request_stop();
        return;
    }
    // Single-file mode whose file was forgotten with the last pair asks for it now.
    if (opt_to_one->isChecked() && mc::state().single_output_file.empty()) {
        opt_to_one_Click();
        if (!opt_to_one->isChecked())
            return; // the user did not choose one
    }
    starter_ = starter;
    starter_caption_ = starter->text();
    stop_requested_ = false;
    run();
    if (close_pending_) {
        close_pending_ = false;
        close();
    }
}

void frm_main::cmd_selectfiles_Click() {
    run_or_stop(cmd_selectfiles, [this] { mc::convert_selected_files(*this, *common_dialog_); });
}
void frm_main::cmd_selectdir_Click() {
    run_or_stop(cmd_selectdir, [this] { mc::convert_directory(*this); });
}
void frm_main::menu_file_selectfiles_Click() {
    cmd_selectfiles_Click();
}
void frm_main::menu_file_selectdir_Click() {
    cmd_selectdir_Click();
}

void frm_main::lbl_status_Click() {
    const QString log = from_core(mc::conversion_log_path());
    if (QFileInfo::exists(log))
        QDesktopServices::openUrl(QUrl::fromLocalFile(log));
}

// ---- the engine's view of the window

mc::batch_choices frm_main::choices() const {
    const auto first_selected = [](const std::array<QRadioButton*, 12>& options) {
        for (int i = 0; i < mc::format_count; ++i)
            if (options[i]->isChecked())
                return i;
        return static_cast<int>(mc::no_format);
    };
    mc::batch_choices c;
    c.source_format = first_selected(opt_from);
    c.target_format = first_selected(opt_to);
    c.opt_to_one = opt_to_one->isChecked();
    c.chk_matchfilename = chk_matchfilename->isChecked() ? 1 : 0;
    c.chk_includesubdirs = chk_includesubdirs->isChecked() ? 1 : 0;
    c.chk_debug = chk_debug->isChecked() ? 1 : 0;
    c.txt_from_filename = to_core(txt_from_filename->text());
    c.txt_to_filename = to_core(txt_to_filename->text());
    return c;
}

void frm_main::set_lbl_status(const std::string& caption) {
    lbl_status->setCaption(from_core(caption));
}
void frm_main::set_lbl_status_tooltip(const std::string& text) {
    lbl_status->setToolTip(plain_tooltip(from_core(text)));
}
void frm_main::set_lbl_note(const std::string& caption) {
    lbl_note->setCaption(from_core(caption));
}
void frm_main::set_lbl_currpath(const std::string& caption) {
    pending_currpath_ = from_core(caption);
    if (!progress_tick_.isActive())
        progress_tick_.start();
}
void frm_main::set_lbl_nfiles(const std::string& caption) {
    pending_nfiles_ = from_core(caption);
    if (!progress_tick_.isActive())
        progress_tick_.start();
}

void frm_main::show_progress() {
    progress_tick_.stop();
    lbl_currpath->setCaption(pending_currpath_);
    lbl_nfiles->setCaption(pending_nfiles_);
}

void frm_main::set_batch_phase(mc::batch_phase phase) {
    phase_ = phase;
    const bool idle = phase == mc::batch_phase::idle;
    // Disabling a frame keeps its controls' own states for when it is enabled again.
    Frame1->setEnabled(idle);
    Frame2->setEnabled(idle);
    menu_advanced_options->setEnabled(idle);
    chk_debug->setEnabled(idle);
    if (idle) {
        show_progress(); // the last values, exact
        if (starter_)
            starter_->setText(starter_caption_);
        check_converter();
        lbl_status->setActive(QFileInfo::exists(from_core(mc::conversion_log_path())));
        return;
    }
    lbl_status->setActive(false);
    set_run_enabled(false);
    if (phase == mc::batch_phase::converting && starter_) {
        starter_->setText(QStringLiteral("stop"));
        starter_->setEnabled(true);
    }
}

bool frm_main::stop_requested() const {
    return stop_requested_;
}

void frm_main::show_frm_dirlist() {
    if (!loaded(dirlist_))
        dirlist_ = new frm_dirlist();
    dirlist_->show();
}

void frm_main::unload_frm_dirlist() {
    if (dirlist_)
        dirlist_->close();
}

void frm_main::do_events() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void frm_main::wake() {
    // A posted call wakes the event loop; it is thread-safe and nothing needs to run.
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
}

} // namespace forms
