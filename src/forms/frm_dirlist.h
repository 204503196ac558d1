#pragma once
// The directory picker. It answers through the engine's chosen directory: a path ending in a
// separator on "Okay", "-1" when it closes without an answer.

#include <QWidget>

class QPushButton;

namespace forms {

class dir_list_box;
class drive_list_box;
class file_list_box;

class frm_dirlist : public QWidget {
    Q_OBJECT
public:
    explicit frm_dirlist(QWidget* parent = nullptr);

public slots:
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void cmd_okay_Click();
    void cmd_cancel_Click();

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload

private:
    QString start_elsewhere();

    drive_list_box* Drive1;
    dir_list_box* Dir1;
    file_list_box* File1;
    QPushButton *cmd_okay, *cmd_cancel;
    bool restoring_drive_ = false;
    bool chosen_by_user_ = true; // false while the picker shows a stand-in for the current directory
};

} // namespace forms
