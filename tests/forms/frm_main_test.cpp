// The main window as designed: controls, captions, geometry, menus, focus order, start-up, shut-down.

#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

using namespace kivo_gui_test;

class frm_main_test : public QObject {
    Q_OBJECT

private slots:
    void controls_as_designed() {
        app_dir dir;
        forms::frm_main w;
        struct {
            const char* name;
            QString caption;
            int l, t, width, h;
        } controls[] = {
            {"Frame1", "FROM", 120, 120, 6015, 2295},
            {"Frame5", "format", 120, 240, 3735, 1815},
            {"Frame7", "files", 3960, 240, 1935, 1815},
            {"chk_matchfilename", "only convert filenames matching:", 120, 240, 1695, 375},
            {"txt_from_filename", "*.dbf", 120, 720, 1695, 285},
            {"chk_includesubdirs", "include sub-dirs if converting by dir", 120, 1200, 1695, 375},
            {"Frame2", "TO", 120, 2520, 6015, 2295},
            {"Frame6", "format", 120, 240, 3735, 1815},
            {"Frame4", "files", 3960, 240, 1935, 1815},
            {"Label2", "output to:", 120, 240, 1575, 255},
            {"opt_to_many", "individual files", 120, 480, 1575, 255},
            {"opt_to_one", "single file", 120, 720, 1575, 255},
            {"lbl_to_filename", "output filename:", 120, 1080, 1695, 255},
            {"txt_to_filename", "*.tsv", 120, 1320, 1695, 285},
            {"Frame3", "Program status", 120, 4920, 6015, 1095},
            {"lbl_nfiles", "", 120, 240, 5775, 255},
            {"lbl_currpath", "", 120, 480, 5775, 255},
            {"lbl_status", "Status: Idle", 120, 720, 5775, 255},
            {"cmd_about", "about", 6360, 240, 975, 735},
            {"lbl_note", "Conversion is not possible.\rdbf2tsv\r is not present in the application directory.", 6360,
             1320, 975, 1455},
            {"cmd_selectfiles", "select files to convert", 6360, 3120, 975, 735},
            {"cmd_selectdir", "select directory to convert", 6360, 3960, 975, 735},
            {"cmd_exit", "Exit", 6360, 5160, 975, 735},
            {"chk_debug", "debug mode", 7560, 5520, 855, 495},
        };
        for (const auto& c : controls) {
            QWidget* widget = child(&w, QLatin1String(c.name));
            QCOMPARE(widget->geometry(), forms::twips(c.l, c.t, c.width, c.h));
            QString text;
            if (auto* box = qobject_cast<QGroupBox*>(widget))
                text = box->title();
            else if (auto* button = qobject_cast<QAbstractButton*>(widget))
                text = button->text();
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                text = edit->text();
            else if (auto* label = qobject_cast<forms::caption_label*>(widget))
                text = label->caption();
            else if (auto* plain = qobject_cast<QLabel*>(widget))
                text = plain->text();
            QCOMPARE(text, c.caption);
        }
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.centralWidget()->size(), QSize(500, 411));
        QVERIFY(child(&w, "chk_debug")->x() >= w.centralWidget()->width()); // beyond the designed edge
        QVERIFY(!child(&w, "cmd_exit")->toolTip().isEmpty());
        QVERIFY(!child(&w, "cmd_exit")->toolTip().contains(QLatin1Char('\n')));
    }

    void format_options_as_designed() {
        app_dir dir;
        forms::frm_main w;
        const char* captions[12] = {"Agenda (agn)",
                                    "Data (dbf)",
                                    "Sheet (spr)",
                                    "Word (wrd)",
                                    "Tab-delimited text (tsv)",
                                    "Hypertext (html)",
                                    "Image (pic)",
                                    "PCX image (pcx)",
                                    "Sound (wve)",
                                    "WAV sound (wav)",
                                    "Plain text (txt)",
                                    "Comma-delimited text (csv)"};
        for (const char* array : {"opt_from", "opt_to"}) {
            for (int i = 0; i < 12; ++i) {
                QRadioButton* o = option(&w, array, i);
                QCOMPARE(o->text(), QString(captions[i]));
            }
        }
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(option(&w, "opt_from", i)->isChecked(), i == 1);
            QCOMPARE(option(&w, "opt_from", i)->isEnabled(), i != 5 && i != 10);
            QCOMPARE(option(&w, "opt_to", i)->isChecked(), i == 4);
            QCOMPARE(option(&w, "opt_to", i)->isEnabled(), i == 4);
        }
        QVERIFY(child<QCheckBox>(&w, "chk_matchfilename")->isChecked());
        QVERIFY(!child<QCheckBox>(&w, "chk_includesubdirs")->isChecked());
        QVERIFY(!child<QCheckBox>(&w, "chk_debug")->isChecked());
        QVERIFY(child<QRadioButton>(&w, "opt_to_many")->isChecked());
        QVERIFY(child<QRadioButton>(&w, "opt_to_one")->isEnabled());
        QVERIFY(child(&w, "txt_from_filename")->isEnabled());
        QVERIFY(child(&w, "txt_to_filename")->isEnabled());
        QCOMPARE(mod_convert::state().source_format, 1);
        QCOMPARE(mod_convert::state().target_format, 4);
    }

    void caption_and_status_after_start_up() {
        app_dir dir;
        forms::frm_main w;
        QCOMPARE(w.windowTitle(), QStringLiteral("kivo v1.5.0"));
        QCOMPARE(forms::version_string(2, 10, 3), QStringLiteral("v2.10.3"));
    }

    void menus_in_order() {
        app_dir dir;
        forms::frm_main w;
        QStringList seen;
        for (QAction* menu : w.menuBar()->actions()) {
            seen << menu->menu()->objectName() + "=" + menu->text();
            for (QAction* item : menu->menu()->actions()) {
                seen << item->objectName() + "=" + (item->isSeparator() ? QStringLiteral("-") : item->text());
                QVERIFY(item->shortcut().isEmpty());
            }
        }
        QCOMPARE(seen,
                 QStringList({"menu_file=&File", "menu_file_selectfiles=Select &files to convert",
                              "menu_file_selectdir=Select &directory to convert", "menu_file_line1=-",
                              "menu_file_exit=E&xit", "menu_advanced=&Advanced",
                              "menu_advanced_options=&Advanced options", "menu_help=&Help", "menu_about=&About"}));
    }

    void focus_order() {
        app_dir dir;
        forms::frm_main w;
        QStringList chain;
        QWidget* start = option(&w, "opt_from", 0);
        QWidget* at = start;
        do {
            if (at->focusPolicy() & Qt::TabFocus)
                chain << at->objectName();
            at = at->nextInFocusChain();
        } while (at != start);
        QStringList expected;
        for (const char* array : {"opt_from", "opt_to"})
            for (int i : {0, 1, 2, 3, 8, 6, 4, 10, 5, 9, 7})
                expected << QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(i);
        expected << "chk_matchfilename"
                 << "txt_from_filename"
                 << "chk_includesubdirs"
                 << "opt_to_many"
                 << "opt_to_one"
                 << "txt_to_filename"
                 << "cmd_selectfiles"
                 << "cmd_selectdir"
                 << "cmd_about"
                 << "chk_debug"
                 << "cmd_exit"
                 << "opt_from(11)"
                 << "opt_to(11)";
        QCOMPARE(chain, expected);
    }

    void advanced_options_message() {
        app_dir dir;
        forms::frm_main w;
        for (int round = 0; round < 2; ++round) {
            QString title, text;
            int buttons = 0;
            QMessageBox::Icon icon = QMessageBox::Warning;
            when_modal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box);
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                buttons = static_cast<int>(box->buttons().size());
                box->button(QMessageBox::Ok)->click();
            });
            w.findChild<QAction*>("menu_advanced_options")->trigger();
            QCOMPARE(title, QStringLiteral("kivo"));
            QCOMPARE(text, QStringLiteral("Support for the command line flags used by the conversion programs will be "
                                          "available in the next version of Kivo."));
            QCOMPARE(icon, QMessageBox::NoIcon);
            QCOMPARE(buttons, 1);
        }
        QCOMPARE(child<QLineEdit>(&w, "txt_to_filename")->text(), QStringLiteral("*.tsv"));
    }

    void every_way_of_closing_closes_the_other_windows() {
        app_dir dir;
        const std::function<void(forms::frm_main&)> ways[] = {
            [](forms::frm_main& w) { child<QPushButton>(&w, "cmd_exit")->click(); },
            [](forms::frm_main& w) { w.findChild<QAction*>("menu_file_exit")->trigger(); },
            [](forms::frm_main& w) { w.close(); },
        };
        for (const auto& close_it : ways) {
            forms::frm_main w;
            w.show();
            child<QPushButton>(&w, "cmd_about")->click();
            QVERIFY(open_window("frm_about"));
            close_it(w);
            QVERIFY(!w.isVisible());
            QTRY_VERIFY(!open_window("frm_about"));
        }
    }
};

KIVO_GUI_TEST_MAIN(frm_main_test)
#include "frm_main_test.moc"
