#include "forms/frm_main.h"

#include "convert/batch.h"
#include "convert/converter_gate.h"
#include "convert/formats.h"
#include "convert/selection.h"
#include "convert/state.h"
#include "convert/walk.h"
#include "forms/app_helpers.h"
#include "forms/file_dialog.h"
#include "forms/frm_about.h"
#include "forms/frm_dirlist.h"
#include "forms/frm_main_layout.h"
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

namespace mc = mod_convert;

namespace {

const char* const product_name = "kivo";

// A closed form is unloaded, even while its deletion is still pending.
template <typename Form> bool loaded(const QPointer<Form>& form) {
    return form && form->isVisible();
}

} // namespace

frm_main::frm_main(QWidget* parent) : QMainWindow(parent), common_dialog_(std::make_unique<file_dialog>(this)) {
    setObjectName(QStringLiteral("frm_main"));
    setFont(forms::form_font());
    setWindowTitle(QStringLiteral("Convert data"));
    lay_out(*this, *this);
    const auto size_as_designed = [this] { resize(500, 411 + menuBar()->heightForWidth(500)); };
    size_as_designed();
    connect_handlers();
    Form_Load();
    fit_font(this);
    size_as_designed(); // the menu bar's height follows the font
}

frm_main::~frm_main() = default;

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
    setWindowTitle(QLatin1String(product_name) + QLatin1Char(' ') + forms::version_string());
    lbl_currpath->setCaption(QString());
    lbl_status->setCaption(QStringLiteral("Status: Idle"));
    lbl_nfiles->setCaption(QString());
    update_file_options();
    apply_source_rules();
}

void frm_main::closeEvent(QCloseEvent* event) {
    // A batch runs inside a click handler further down the stack: stop it, and close once it is over.
    forms::unload_other_forms(this); // an open picker answers "-1"
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
    converter_present_ = mc::converter_present();
    set_run_enabled(converter_present_);
    show_output_choice();
}

void frm_main::show_output_choice() {
    const std::string& file = mc::state().single_output_file;
    const bool chosen = opt_to_one->isChecked() && !file.empty();
    txt_to_filename->setToolTip(chosen ? plain_tooltip(from_core(file)) : QString());
    if (!converter_present_)
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
