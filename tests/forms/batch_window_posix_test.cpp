// A batch stopped (button or Escape) after a file failed: the status points to the log, which names
// the failure (the converter is a POSIX shell script).

#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace kivo_gui_test;

namespace {

// A window whose dbf2tsv is this shell script; PIDFILE in it stands for the file where it can leave
// its process id.
batch_setup scripted(std::string body) {
    return batch_setup([body](const std::string& app, const std::string& pid_file) mutable {
        const auto at = body.find("PIDFILE");
        if (at != std::string::npos)
            body.replace(at, 7, pid_file);
        kivo_test::write_converter(app, "dbf2tsv", body);
    });
}

} // namespace

class batch_window_posix_test : public QObject {
    Q_OBJECT

private slots:
    void a_stop_after_a_failure_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("stop button") << false;
        QTest::newRow("Escape key") << true;
    }
    void a_stop_after_a_failure() {
        QFETCH(bool, escape);
        batch_setup s = scripted("case \"$1\" in *bad*) echo 'bad header' >&2; exit 3;; esac\n"
                                 "echo partial; echo $$ > 'PIDFILE'; sleep 1000\n");
        s.pick({"bad.dbf", "slow.dbf", "later.dbf"});
        auto* selectfiles = child<QPushButton>(&s.w, "cmd_selectfiles");
        QVERIFY(s.run_and_stop(escape) < 5000);
        QCOMPARE(caption(&s.w, "lbl_status"),
                 QStringLiteral("Status: Stopped; see kivo.log for details of some errors"));
        QCOMPARE(kivo_test::read_file(s.dir.app + "/kivo.log"),
                 s.data + "/bad.dbf\tfailed\tconverter exit code 3\tbad header\n"
                          "converted 0, with warnings 0, failed 1, skipped 0\n");
        QCOMPARE(caption(&s.w, "lbl_nfiles"), QStringLiteral("Files processed: 1"));
        QVERIFY2(!kivo_test::exists(s.data + "/slow.tsv"), "the unfinished output is removed");
        QVERIFY(!kivo_test::exists(s.data + "/later.tsv"));
        QVERIFY(kivo_test::process_ended(s.pid_file));
        QCOMPARE(selectfiles->text(), QStringLiteral("select files to convert"));
        QVERIFY(selectfiles->isEnabled());
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(batch_window_posix_test)
#include "batch_window_posix_test.moc"
