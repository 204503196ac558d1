// The whole program through runs whose converters are POSIX shell scripts, and a read-only program
// folder: the log and its status, stopping, the start-up step.

#include "convert/formats.h"
#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QPushButton>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo_gui_test;

namespace {

// Kivo's own converters, as a build puts them beside the program.
void install_converters(const std::string& app) {
    for (const char* name : {"tsv2csv", "csv2tsv"})
        std::filesystem::copy_file(std::string(KIVO_PROGRAM_DIR) + "/" + name, app + "/" + name);
}

// Records the URLs that the desktop would open, instead of opening them.
class url_recorder : public QObject {
    Q_OBJECT
public:
    explicit url_recorder(QList<QUrl>& into) : into_(into) {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }
    ~url_recorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
public slots:
    void open(const QUrl& url) { into_ << url; }

private:
    QList<QUrl>& into_;
};

} // namespace

class end_to_end_posix_test : public QObject {
    Q_OBJECT

private slots:
    void start_choose_run_and_report() {
        app_dir dir;
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        forms::frm_main w;
        w.show();
        QVERIFY(!child(&w, "cmd_selectfiles")->isEnabled()); // nothing installed yet

        install_converters(dir.app);
        click(option(&w, "opt_from", mod_convert::tsv));
        QVERIFY(!child(&w, "cmd_selectfiles")->isEnabled()); // tsv2dbf is not there
        click(option(&w, "opt_to", mod_convert::csv));
        QVERIFY(child(&w, "cmd_selectfiles")->isEnabled());
        QCOMPARE(caption(&w, "lbl_note"), QString());

        kivo_test::write_file(data + "/people.tsv", "name\tnote\nAnn\tsays \"hi\", twice\n");
        kivo_test::write_file(data + "/empty.tsv", "");
        forms::file_dialog::set_next_answer(
            {QString::fromStdString(data + "/people.tsv"), QString::fromStdString(data + "/empty.tsv")});
        w.findChild<QAction*>("menu_file_selectfiles")->trigger();
        QCOMPARE(kivo_test::read_file(data + "/people.csv"),
                 std::string("name,note\r\nAnn,\"says \"\"hi\"\", twice\"\r\n"));
        QCOMPARE(kivo_test::read_file(data + "/empty.csv"), std::string());
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 2"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QCOMPARE(caption(&w, "lbl_currpath"), QString());
        QVERIFY(!kivo_test::exists(dir.app + "/kivotemp.sh"));

        // Back again, into one file, with debug mode keeping the job files.
        click(option(&w, "opt_from", mod_convert::csv));
        forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "all.tsv")});
        click(child<QRadioButton>(&w, "opt_to_one"));
        child<QCheckBox>(&w, "chk_debug")->setChecked(true);
        forms::file_dialog::set_next_answer({QString::fromStdString(data + "/people.csv")});
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(kivo_test::read_file(dir.root / "all.tsv"),
                 std::string("people.csv\tname\tnote\npeople.csv\tAnn\tsays \"hi\", twice\n"));
        QVERIFY(kivo_test::exists(dir.app + "/kivotemp.sh"));
        QVERIFY(kivo_test::exists(dir.app + "/kivotemp.tmp"));
    }

    void warnings_and_failures_are_logged_and_the_log_is_one_click_away() {
        app_dir dir;
        dir.converter("dbf2tsv", "case \"$1\" in\n"
                                 "*bad*) echo 'dbf2tsv: bad.dbf: not a Data file' >&2; exit 2;;\n"
                                 "*warn*) echo 'dbf2tsv: warn.dbf: 3 fields cut' >&2;;\n"
                                 "esac\necho row\n");
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        QStringList picked;
        for (const char* name : {"good.dbf", "warn.dbf", "bad.dbf"}) {
            kivo_test::write_file(data + "/" + name, "x");
            picked << QString::fromStdString(data + "/" + name);
        }
        forms::frm_main w;
        w.show();
        QList<QUrl> opened;
        url_recorder recorder(opened);
        forms::file_dialog::set_next_answer(picked);
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(kivo_test::read_file(dir.app + "/kivo.log"),
                 data + "/warn.dbf\twarning\tconverted with warnings\t3 fields cut\n" + data +
                     "/bad.dbf\tfailed\tconverter exit code 2\tnot a Data file\n"
                     "converted 2, with warnings 1, failed 1, skipped 0\n");
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: See kivo.log for details of some errors"));
        QCOMPARE(child(&w, "lbl_status")->toolTip(), QStringLiteral("<p style=\"white-space:pre\">converted 2, "
                                                                    "with warnings 1, failed 1, skipped 0</p>"));
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 3"));

        auto* status = child(&w, "lbl_status");
        QTest::mouseClick(status, Qt::LeftButton, {}, QPoint(10, status->height() / 2));
        QTest::keyClick(status, Qt::Key_Return);
        const QUrl log = QUrl::fromLocalFile(QString::fromStdString(dir.app + "/kivo.log"));
        QCOMPARE(opened, (QList<QUrl>{log, log}));

        forms::file_dialog::set_next_answer({});
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QCOMPARE(child(&w, "lbl_status")->toolTip(), QString());
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 0"));
        QVERIFY(!kivo_test::exists(dir.app + "/kivo.log"));
        QTest::mouseClick(status, Qt::LeftButton, {}, QPoint(10, status->height() / 2));
        QCOMPARE(opened.size(), 2);
    }

    // Through the program's own start-up step: job files go to the per-user place.
    void a_read_only_program_folder_converts() {
        app_dir dir;
        const std::string program = dir.root / "program", data = dir.root / "data";
        kivo_test::make_dir(program);
        kivo_test::make_dir(data);
        kivo_test::write_converter(program, "dbf2tsv", "echo converted\n");
        kivo_test::write_file(data + "/a.dbf", "x");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.root / "share"));
        forms::tell_engine_where_it_lies(QString::fromStdString(program + "/kivo"));
        ::chmod(program.c_str(), 0555);
        const bool immutable =
            ::geteuid() == 0 && std::system(("chattr +i '" + program + "' 2>/dev/null").c_str()) == 0;
        if (::geteuid() != 0 || immutable) {
            forms::frm_main w;
            w.show();
            forms::file_dialog::set_next_answer({QString::fromStdString(data + "/a.dbf")});
            click(child<QPushButton>(&w, "cmd_selectfiles"));
            QCOMPARE(kivo_test::read_file(data + "/a.tsv"), std::string("converted\n"));
            QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
            QVERIFY(child(&w, "lbl_status")->toolTip().contains(QStringLiteral("read-only")));
        }
        if (immutable)
            (void)!std::system(("chattr -i '" + program + "'").c_str());
        ::chmod(program.c_str(), 0755);
        qunsetenv("XDG_DATA_HOME");
        if (::geteuid() == 0 && !immutable)
            QSKIP("no way to make a folder read-only for root here");
    }

    // A directory batch through the window: the user's files whose names look like Kivo's stay, and
    // a converter that leaves more than its own outputs lands nothing.
    void a_directory_batch_keeps_what_is_the_users() {
        app_dir dir;
        dir.converter("WSPCX", "D=\"$KIVO_OUTPUT_DIR\"; printf new > \"$D/icons.pcx\"; printf x > \"$D/.bashrc\"\n");
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        kivo_test::make_dir(data + "/notes.kivo-backup");
        for (const char* name : {"report.kivo-abc123", "thesis.kivo-draft1", "notes.kivo-backup/years", "icons.pic"})
            kivo_test::write_file(data + "/" + name, name);
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(data));
        forms::frm_main w;
        w.show();
        click(option(&w, "opt_from", mod_convert::pic));
        when_window("frm_dirlist", [&](QWidget* picker) { child<QPushButton>(picker, "cmd_okay")->click(); });
        click(child<QPushButton>(&w, "cmd_selectdir"));
        QDir::setCurrent(before);
        for (const char* name : {"report.kivo-abc123", "thesis.kivo-draft1", "notes.kivo-backup/years"})
            QCOMPARE(kivo_test::read_file(data + "/" + name), std::string(name));
        QVERIFY(!kivo_test::exists(data + "/icons.pcx"));
        QVERIFY(!kivo_test::exists(data + "/.bashrc"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: See kivo.log for details of some errors"));
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(end_to_end_posix_test)
#include "end_to_end_posix_test.moc"
