#include "forms/frm_about.h"

#include "forms/app_helpers.h"
#include "forms/widgets.h"

#include <QApplication>
#include <QPainter>
#include <QPushButton>

// The picture lives in a static library's resources, which must be registered by hand.
static void load_resources() {
    Q_INIT_RESOURCE(kivo);
}

namespace forms {
namespace {

const QString CR = QStringLiteral("\r");
const char* const app_title = "kivo";
const char* const legal_copyright = "Copyright (C) the Kivo authors";
const char* const author_contact = " (write to the Kivo authors)";
const char* const converter_suite = "the organiser file converters";

QPushButton* text_button(const char* name, const QString& caption, int left, QWidget* parent) {
    auto* button = place(new QPushButton(caption, parent), name, twips(left, 3840, 1095, 615));
    button->setAutoDefault(false);
    return button;
}

} // namespace

QString frm_about::about_text() {
    return QStringLiteral("This software provides a Windows front end") +
           " for a number of Psion 3a, 3c, 3mx and Siena format conversion programs." + CR + CR +
           " Long filenames are supported, together with the" +
           " option to perform batch conversion of selected files." +
           " Kivo has been tested on Windows 9*, 2000 and NT systems." + CR + CR + " " + legal_copyright +
           author_contact;
}

QString frm_about::credits_text() {
    return QStringLiteral("Thanks go to the authors of the conversion programs:") + " " + converter_suite +
           " (C) 1996, 1997 (their author)" + " converts between AGN, DBF, SPR, WRD, TSV, CSV, TXT and HTML;" +
           " WVE2WAV and WAV2WVE are (C) 1994 Psion;" +
           " and the author of WSPCX, which converts between PIC and PCX, is unknown." +
           " See files in program directory for more details." + CR + CR +
           " Thanks also to the first tester of Kivo for his patient debugging." + CR + CR +
           "None of the authors (i.e. of Kivo or the programs it calls) accepts any" +
           " responsibility for any damage arising from use of this software.";
}

QString frm_about::registration_text() {
    return QString() + " asked to make a contribution to the charity of your choice" +
           " (and write to let the author know, if you like)." + CR + CR + " " + converter_suite + " " +
           " to send the author a postcard." + CR + CR + " See kivo.html in the program directory for more details.";
}

frm_about::frm_about(QWidget* parent) : QWidget(parent, Qt::Window) {
    load_resources();
    setObjectName(QStringLiteral("frm_about"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(forms::form_font());
    resize(5490 / 15, 4635 / 15);

    picIcon = place(new QLabel(this), "picIcon", twips(240, 120, 1020, 945));
    picIcon->setPixmap(QPixmap(QStringLiteral(":/kivo/organiser.png")));
    picIcon->setToolTip(QStringLiteral("For everyone who still carries an organiser in a pocket."));
    lblTitle = place(new QLabel(QStringLiteral("Application Title"), this), "lblTitle", twips(1410, 240, 3885, 465));
    lblTitle->setFont(forms::form_font(13.5));
    lblVersion = place(new QLabel(QStringLiteral("Version"), this), "lblVersion", twips(1410, 720, 3885, 225));
    lblDescription = place(new caption_label(this), "lblDescription", twips(210, 1320, 5085, 2130));
    lblDescription->setWordWrap(true);
    for (QLabel* label : {lblTitle, static_cast<QLabel*>(lblDescription)}) {
        QPalette black = label->palette();
        black.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(black);
    }
    cmd_about = text_button("cmd_about", QStringLiteral("About"), 240, this);
    cmd_registration = text_button("cmd_registration", QStringLiteral("Registration"), 1560, this);
    cmd_credits = text_button("cmd_credits", QStringLiteral("Credits"), 2880, this);
    cmd_ok = text_button("cmd_ok", QStringLiteral("Okay"), 4200, this);
    set_focus_chain({cmd_ok, cmd_about, cmd_registration, cmd_credits});

    connect(cmd_about, &QPushButton::clicked, this, &frm_about::cmd_about_Click);
    connect(cmd_registration, &QPushButton::clicked, this, &frm_about::cmd_registration_Click);
    connect(cmd_credits, &QPushButton::clicked, this, &frm_about::cmd_credits_Click);
    connect(cmd_ok, &QPushButton::clicked, this, &frm_about::cmd_ok_Click);
    Form_Load();
    fit_font(this);
}

void frm_about::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + QLatin1String(app_title));
    lblVersion->setText(QStringLiteral("Version ") + forms::version_string().mid(1));
    lblTitle->setText(QLatin1String(app_title));
    cmd_about_Click();
}

void frm_about::enable_text_buttons() {
    for (QPushButton* b : {cmd_about, cmd_registration, cmd_credits})
        b->setEnabled(true);
}

// The button of the text on show is the one disabled.
void frm_about::show_text(const QString& text, QPushButton* its_button) {
    lblDescription->setCaption(text);
    enable_text_buttons();
    its_button->setEnabled(false);
}

void frm_about::cmd_about_Click() {
    show_text(about_text(), cmd_about);
}
void frm_about::cmd_registration_Click() {
    show_text(registration_text(), cmd_registration);
}
void frm_about::cmd_credits_Click() {
    show_text(credits_text(), cmd_credits);
}

void frm_about::cmd_ok_Click() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("frm_main")) {
            w->show();
            w->raise();
            w->activateWindow();
        }
    }
    close();
}

// The etched separator: a grey line with a white one under it.
void frm_about::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect line = twips(120, 3600, 5280, 0);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(line.left(), line.top(), line.right(), line.top());
    painter.setPen(Qt::white);
    painter.drawLine(line.left(), line.top() + 1, line.right(), line.top() + 1);
}

} // namespace forms
