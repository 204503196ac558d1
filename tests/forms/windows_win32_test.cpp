// The window's Windows side: the picker's drives, a batch through kivotemp.bat and the command
// interpreter, files picked with names beyond the ANSI code page, and the gate's program endings.

#include "convert/formats.h"
#include "forms/dir_widgets.h"
#include "forms/file_dialog.h"
#include "forms/frm_dirlist.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>

using namespace kivo_gui_test;

class windows_win32_test : public QObject {
    Q_OBJECT

private slots:
    void the_picker_lists_drives_and_snaps_back_from_one_without_a_medium() {
        forms::frm_dirlist picker;
        auto* drives = child<forms::drive_list_box>(&picker, "Drive1");
        QVERIFY(drives->count() >= 1);
        for (int i = 0; i < drives->count(); ++i)
            QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]:\\\\$")).match(drives->itemText(i)).hasMatch(),
                     qPrintable(drives->itemText(i)));
        const QString before = drives->Drive();
        drives->addItem(QStringLiteral("Q:\\")); // a drive letter without a medium behind it
        drives->setCurrentIndex(drives->count() - 1);
        picker.Drive1_Change();
        QCOMPARE(drives->Drive(), before);
    }

    void a_directory_batch_runs_its_job_through_kivotemp_bat() {
        app_dir dir;
        kivo_test::write_recording_converter(dir.app, "WRD2HTML", "converted\r\n");
        const std::string tree = dir.root / "M\xC3\xBCller docs";
        kivo_test::make_dir(tree);
        kivo_test::write_file(tree + "\\letter.wrd", "x");
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(tree));
        forms::frm_main w;
        w.show();
        child<QCheckBox>(&w, "chk_debug")->setChecked(true); // keeps the job script
        option(&w, "opt_from", mod_convert::wrd)->click();
        when_window("frm_dirlist", [](QWidget* picker) { child<QPushButton>(picker, "cmd_okay")->click(); });
        child<QPushButton>(&w, "cmd_selectdir")->click();
        QDir::setCurrent(before);
        QCOMPARE(kivo_test::read_file(tree + "\\letter.html"), std::string("converted\r\n"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        const std::string job = kivo_test::read_file(dir.app + "\\kivotemp.bat");
        QVERIFY2(job.rfind("@echo off\r\n", 0) == 0 && job.find("WRD2HTML -h ") != std::string::npos, job.c_str());
    }

    void picked_files_beyond_the_ansi_code_page_convert() {
        app_dir dir;
        kivo_test::write_recording_converter(dir.app, "dbf2tsv", "row\r\n");
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        QStringList picked;
        for (const char* name :
             {"\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.dbf", "\xE6\x97\xA5\xE6\x9C\xAC file.dbf"}) {
            kivo_test::write_file(data + "\\" + name, "x");
            picked << QString::fromStdString(data + "\\" + name);
        }
        forms::frm_main w;
        w.show();
        forms::file_dialog::set_next_answer(picked);
        child<QPushButton>(&w, "cmd_selectfiles")->click();
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 2"));
        QCOMPARE(kivo_test::read_file(data + "\\\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1.tsv"),
                 std::string("row\r\n"));
        QCOMPARE(kivo_test::read_file(data + "\\\xE6\x97\xA5\xE6\x9C\xAC file.tsv"), std::string("row\r\n"));
    }

    void the_gate_takes_exe_com_and_bat() {
        const std::pair<const char*, bool> endings[] = {
            {".exe", true}, {".com", true}, {".bat", true}, {".cmd", false}, {"", false}};
        for (const auto& [ending, runs] : endings) {
            app_dir dir;
            kivo_test::write_file(dir.app + "\\dbf2tsv" + ending, "x");
            forms::frm_main w;
            QVERIFY2(child(&w, "cmd_selectfiles")->isEnabled() == runs, ending);
        }
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(windows_win32_test)
#include "windows_win32_test.moc"
