#include "forms/frm_dirlist.h"

#include "convert/state.h"
#include "forms/app_helpers.h"
#include "forms/dir_widgets.h"
#include "forms/widgets.h"
#include "platform/conventions.h"
#include "util/mod_utils_dsw.h"

#include <QCloseEvent>
#include <QDir>
#include <QPushButton>

namespace forms {

frm_dirlist::frm_dirlist(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frm_dirlist"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(forms::form_font());
    setWindowTitle(QStringLiteral("Select a directory"));
    resize(6900 / 15, 2880 / 15);

    Drive1 = place(new drive_list_box(this), "Drive1", twips(240, 120, 3135, 315));
    Dir1 = place(new dir_list_box(this), "Dir1", twips(240, 600, 3135, 2115));
    File1 = place(new file_list_box(this), "File1", twips(3600, 120, 3135, 1650));
    File1->setFocusPolicy(Qt::NoFocus);
    cmd_okay = place(new QPushButton(QStringLiteral("Okay"), this), "cmd_okay", twips(3840, 2040, 1215, 615));
    cmd_cancel = place(new QPushButton(QStringLiteral("Cancel"), this), "cmd_cancel", twips(5280, 2040, 1215, 615));
    for (QPushButton* b : {cmd_okay, cmd_cancel})
        b->setAutoDefault(false);
    set_focus_chain({Drive1, Dir1, cmd_okay, cmd_cancel});

    connect(Drive1, &drive_list_box::Change, this, &frm_dirlist::Drive1_Change);
    connect(Dir1, &dir_list_box::Change, this, &frm_dirlist::Dir1_Change);
    connect(cmd_okay, &QPushButton::clicked, this, &frm_dirlist::cmd_okay_Click);
    connect(cmd_cancel, &QPushButton::clicked, this, &frm_dirlist::cmd_cancel_Click);
    Form_Load();
    fit_font(this);
}

void frm_dirlist::Form_Load() {
    QString current = QDir::currentPath();
    try {
        // A name Qt cannot hold (not UTF-8) would lead to another directory.
        if (forms::to_core(QDir::toNativeSeparators(current)) != platform::current_directory())
            throw std::runtime_error("the current directory cannot be shown");
        Dir1->setPath(current);
    } catch (const std::runtime_error&) {
        // A stand-in, not a choice: Okay waits until the user opens a directory.
        current = start_elsewhere();
    }
    const QSignalBlocker quiet(Drive1); // the starting drive is no change
    Drive1->setDrive(current);
}

QString frm_dirlist::start_elsewhere() {
    QString start = QDir::homePath();
    try {
        Dir1->setPath(start);
    } catch (const std::runtime_error&) {
        start = QDir::rootPath();
        Dir1->setPath(start);
    }
    Dir1->setCurrentItem(nullptr);
    chosen_by_user_ = false;
    cmd_okay->setEnabled(false);
    return start;
}

void frm_dirlist::Drive1_Change() {
    try {
        Dir1->setPath(Drive1->Drive());
    } catch (const std::runtime_error&) {
        // An unreadable drive is dropped silently: back to the drive of the open directory.
        if (restoring_drive_)
            return;
        restoring_drive_ = true;
        Drive1->setDrive(Dir1->Path());
        restoring_drive_ = false;
    }
}

void frm_dirlist::Dir1_Change() {
    File1->setPath(Dir1->Path());
    if (!chosen_by_user_) {
        chosen_by_user_ = true;
        cmd_okay->setEnabled(true);
    }
}

void frm_dirlist::cmd_okay_Click() {
    mod_convert::state().chosen_directory =
        mod_utils_dsw::with_trailing_backslash(forms::to_core(QDir::toNativeSeparators(Dir1->Path())));
}

void frm_dirlist::cmd_cancel_Click() {
    close();
}

void frm_dirlist::closeEvent(QCloseEvent* event) {
    auto& chosen = mod_convert::state().chosen_directory;
    if (chosen.empty())
        chosen = "-1";
    event->accept();
}

} // namespace forms
