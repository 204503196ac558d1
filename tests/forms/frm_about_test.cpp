// The about box: its texts character for character, its buttons, and how it closes.

#include "forms/frm_about.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QPushButton>

using namespace kivo_gui_test;

namespace {

const QString CR = QStringLiteral("\r");

QString shown_text(QWidget* about) {
    return caption(about, "lblDescription");
}

QStringList enabled_buttons(QWidget* about) {
    QStringList enabled;
    for (const char* name : {"cmd_about", "cmd_registration", "cmd_credits", "cmd_ok"})
        if (child(about, QLatin1String(name))->isEnabled())
            enabled << QLatin1String(name);
    return enabled;
}

} // namespace

class frm_about_test : public QObject {
    Q_OBJECT

private slots:
    void texts_character_for_character() {
        QCOMPARE(forms::frm_about::about_text(),
                 "This software provides a Windows front end for a number of Psion 3a, 3c, 3mx and Siena format "
                 "conversion programs." +
                     CR + CR +
                     " Long filenames are supported, together with the option to perform batch conversion of "
                     "selected files. Kivo has been tested on Windows 9*, 2000 and NT systems." +
                     CR + CR + " Copyright (C) the Kivo authors (write to the Kivo authors)");
        QCOMPARE(forms::frm_about::credits_text(),
                 "Thanks go to the authors of the conversion programs: the organiser file converters (C) 1996, 1997 "
                 "(their author) converts between AGN, DBF, SPR, WRD, TSV, CSV, TXT and HTML; WVE2WAV and WAV2WVE "
                 "are (C) 1994 Psion; and the author of WSPCX, which converts between PIC and PCX, is unknown. See "
                 "files in program directory for more details." +
                     CR + CR + " Thanks also to the first tester of Kivo for his patient debugging." + CR + CR +
                     "None of the authors (i.e. of Kivo or the programs it calls) accepts any responsibility for any "
                     "damage arising from use of this software.");
        QCOMPARE(forms::frm_about::registration_text(),
                 " asked to make a contribution to the charity of your choice (and write to let the author know, if "
                 "you like)." +
                     CR + CR + " the organiser file converters  to send the author a postcard." + CR + CR +
                     " See kivo.html in the program directory for more details.");
        QVERIFY(!forms::frm_about::about_text().contains(QLatin1Char('\n')));
    }

    void layout_and_captions() {
        forms::frm_about about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About kivo"));
        QCOMPARE(child<QLabel>(&about, "lblTitle")->text(), QStringLiteral("kivo"));
        QCOMPARE(child<QLabel>(&about, "lblVersion")->text(), QStringLiteral("Version 1.5.0"));
        QCOMPARE(child<QLabel>(&about, "picIcon")->pixmap().size(), QSize(68, 60));
        QVERIFY(!child(&about, "picIcon")->toolTip().isEmpty());
        QCOMPARE(about.size(), QSize(366, 309));
        const std::pair<const char*, QRect> places[] = {
            {"picIcon", forms::twips(240, 120, 1020, 945)},
            {"lblTitle", forms::twips(1410, 240, 3885, 465)},
            {"lblVersion", forms::twips(1410, 720, 3885, 225)},
            {"lblDescription", forms::twips(210, 1320, 5085, 2130)},
            {"cmd_about", forms::twips(240, 3840, 1095, 615)},
            {"cmd_registration", forms::twips(1560, 3840, 1095, 615)},
            {"cmd_credits", forms::twips(2880, 3840, 1095, 615)},
            {"cmd_ok", forms::twips(4200, 3840, 1095, 615)},
        };
        for (const auto& [name, rect] : places)
            QCOMPARE(child(&about, QLatin1String(name))->geometry(), rect);
        QStringList captions;
        for (const char* name : {"cmd_about", "cmd_registration", "cmd_credits", "cmd_ok"})
            captions << child<QPushButton>(&about, QLatin1String(name))->text();
        QCOMPARE(captions, QStringList({"About", "Registration", "Credits", "Okay"}));
    }

    void buttons_switch_the_text() {
        forms::frm_about about;
        QCOMPARE(shown_text(&about), forms::frm_about::about_text());
        QCOMPARE(enabled_buttons(&about), QStringList({"cmd_registration", "cmd_credits", "cmd_ok"}));
        child<QPushButton>(&about, "cmd_credits")->click();
        QCOMPARE(shown_text(&about), forms::frm_about::credits_text());
        QCOMPARE(enabled_buttons(&about), QStringList({"cmd_about", "cmd_registration", "cmd_ok"}));
        child<QPushButton>(&about, "cmd_registration")->click();
        QCOMPARE(shown_text(&about), forms::frm_about::registration_text());
        QCOMPARE(enabled_buttons(&about), QStringList({"cmd_about", "cmd_credits", "cmd_ok"}));
        child<QPushButton>(&about, "cmd_about")->click();
        QCOMPARE(shown_text(&about), forms::frm_about::about_text());
        QCOMPARE(enabled_buttons(&about), QStringList({"cmd_registration", "cmd_credits", "cmd_ok"}));
    }

    void okay_closes_and_a_new_opening_starts_on_about() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        for (int round = 0; round < 2; ++round) {
            w.findChild<QAction*>("menu_about")->trigger();
            QWidget* about = open_window("frm_about");
            QVERIFY(about);
            QCOMPARE(shown_text(about), forms::frm_about::about_text());
            child<QPushButton>(about, "cmd_credits")->click();
            child<QPushButton>(&w, "cmd_about")->click(); // already open: brought forward, text kept
            QCOMPARE(open_window("frm_about"), about);
            QCOMPARE(shown_text(about), forms::frm_about::credits_text());
            child<QPushButton>(about, "cmd_ok")->click();
            QTRY_VERIFY(!open_window("frm_about"));
            QVERIFY(w.isVisible());
        }
    }
};

KIVO_GUI_TEST_MAIN(frm_about_test)
#include "frm_about_test.moc"
