// Kivo as its installer leaves it on Windows: the window over the installed program folder converts a
// genuine Data file with the installed converters, keeps its job files out of Program Files, and shows
// its about box. windows_setup_test.sh runs it after a silent install (KIVO_INSTALLED_DIR names the
// folder, KIVO_DATA_DIR one with the genuine file); elsewhere it is skipped.

#include "convert/formats.h"
#include "forms/app_helpers.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QAction>
#include <QPushButton>

using namespace kivo_gui_test;

class installed_win32_test : public QObject {
    Q_OBJECT

private slots:
    void a_directory_batch_through_the_installed_program() {
        const QString installed = qEnvironmentVariable("KIVO_INSTALLED_DIR");
        const QString data = qEnvironmentVariable("KIVO_DATA_DIR");
        if (installed.isEmpty() || data.isEmpty())
            QSKIP("run by windows_setup_test.sh after the installer");
        QApplication::setApplicationName(QStringLiteral("kivo"));
        forms::tell_engine_where_it_lies(installed + QStringLiteral("\\kivo.exe"));
        const QString before = QDir::currentPath();
        QDir::setCurrent(data);
        forms::frm_main w;
        w.show();
        click(option(&w, "opt_from", mod_convert::dbf)); // to tsv
        when_window("frm_dirlist", [](QWidget* picker) { child<QPushButton>(picker, "cmd_okay")->click(); });
        click(child<QPushButton>(&w, "cmd_selectdir"));
        QDir::setCurrent(before);
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 1"));
        QVERIFY(child(&w, "lbl_status")->toolTip().contains(QStringLiteral("installed for everyone")));
        QVERIFY(!QFileInfo::exists(installed + QStringLiteral("\\kivotemp.bat")));

        w.findChild<QAction*>(QStringLiteral("menu_about"))->trigger();
        QTRY_VERIFY(open_window(QStringLiteral("frm_about")) != nullptr);
        open_window(QStringLiteral("frm_about"))->close();
    }
};

KIVO_GUI_TEST_MAIN(installed_win32_test)
#include "installed_win32_test.moc"
