// The whole program from start-up through a rule change, the gate, runs and their final status.

#include "convert/formats.h"
#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace kivo_gui_test;

namespace {

void click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
}

// Kivo's own converters, as a build puts them beside the program.
void install_converters(const std::string& app) {
    for (const char* name : {"tsv2csv", "csv2tsv"})
        std::filesystem::copy_file(std::string(KIVO_PROGRAM_DIR) + "/" + name, app + "/" + name);
}

} // namespace

class end_to_end_test : public QObject {
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

    void failures_and_the_log_reach_the_status_line() {
        app_dir dir;
        dir.converter("dbf2tsv", "case \"$1\" in *bad*) echo oops >> '" + dir.app + "/kivo.log'; exit 2;; esac\n");
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        for (const char* name : {"good.dbf", "bad.dbf"})
            kivo_test::write_file(data + "/" + name, "x");
        forms::frm_main w;
        w.show();
        forms::file_dialog::set_next_answer(
            {QString::fromStdString(data + "/good.dbf"), QString::fromStdString(data + "/bad.dbf")});
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: 1 file failed: bad.dbf (converter exit code 2)"));
        const QString tip = child(&w, "lbl_status")->toolTip();
        QVERIFY(tip.contains(QString::fromStdString(data + "/bad.dbf: converter exit code 2")));
        QVERIFY(tip.contains(QString::fromStdString(dir.app + "/kivo.log")));

        forms::file_dialog::set_next_answer({});
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QCOMPARE(child(&w, "lbl_status")->toolTip(), QString());
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 0"));
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
        mod_utils_dsw::tell_engine_where_it_lies(QString::fromStdString(program + "/kivo"));
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
            std::system(("chattr -i '" + program + "'").c_str());
        ::chmod(program.c_str(), 0755);
        qunsetenv("XDG_DATA_HOME");
        if (::geteuid() == 0 && !immutable)
            QSKIP("no way to make a folder read-only for root here");
    }

    // A fresh build's program folder holds a converter for every pair the window offers.
    void every_pair_runs_out_of_the_box() {
        app_dir dir;
        mod_convert::state().app_dir = KIVO_PROGRAM_DIR;
        forms::frm_main w;
        w.show();
        int pairs = 0;
        for (int source : mod_convert::rule_sources()) {
            click(option(&w, "opt_from", source));
            for (int target : mod_convert::offered_targets(source)) {
                click(option(&w, "opt_to", target));
                QVERIFY2(child(&w, "cmd_selectfiles")->isEnabled(),
                         qPrintable(caption(&w, "lbl_status") + QStringLiteral(" for pair ") + QString::number(source) +
                                    QStringLiteral(" to ") + QString::number(target)));
                ++pairs;
            }
        }
        QCOMPARE(pairs, 13);
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(end_to_end_test)
#include "end_to_end_test.moc"
