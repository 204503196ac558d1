#pragma once
// The about box: title, version, picture, and three texts that its buttons switch between.

#include <QWidget>

class QLabel;
class QPushButton;

namespace forms {

class caption_label;

class frm_about : public QWidget {
    Q_OBJECT
public:
    explicit frm_about(QWidget* parent = nullptr);

    static QString about_text();
    static QString registration_text();
    static QString credits_text();

public slots:
    void Form_Load();
    void cmd_about_Click();
    void cmd_registration_Click();
    void cmd_credits_Click();
    void cmd_ok_Click();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void enable_text_buttons();
    void show_text(const QString& text, QPushButton* its_button);

    QLabel *picIcon, *lblTitle, *lblVersion;
    caption_label* lblDescription;
    QPushButton *cmd_about, *cmd_registration, *cmd_credits, *cmd_ok;
};

} // namespace forms
