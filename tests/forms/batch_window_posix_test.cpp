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

void click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
}

// Runs `act` once `ready` holds, from the event loop that a running batch keeps going.
void when(QObject* context, std::function<bool()> ready, std::function<void()> act) {
    if (ready()) {
        act();
        return;
    }
    QTimer::singleShot(20, context, [=] { when(context, ready, act); });
}

struct batch_setup {
    app_dir dir;
    std::string data = dir.root / "data";
    std::string pid_file = dir.root / "pid";
    bool installed;
    forms::frm_main w; // after the converter, so that the gate lets the run start
    // PIDFILE in the converter's body stands for the file where it can leave its process id.
    explicit batch_setup(const std::string& converter_body) : installed(install(converter_body)) { w.show(); }
    bool install(std::string body) {
        kivo_test::make_dir(data);
        const auto at = body.find("PIDFILE");
        if (at != std::string::npos)
            body.replace(at, 7, pid_file);
        dir.converter("dbf2tsv", body);
        return true;
    }
    void pick(std::initializer_list<const char*> names) {
        QStringList files;
        for (const char* name : names) {
            kivo_test::write_file(data + "/" + name, "x");
            files << QString::fromStdString(data + "/" + name);
        }
        forms::file_dialog::set_next_answer(files);
    }
    bool converter_running() const { return kivo_test::exists(pid_file); }
};

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
        batch_setup s("case \"$1\" in *bad*) echo 'bad header' >&2; exit 3;; esac\n"
                      "echo partial; echo $$ > 'PIDFILE'; sleep 1000\n");
        s.pick({"bad.dbf", "slow.dbf", "later.dbf"});
        auto* selectfiles = child<QPushButton>(&s.w, "cmd_selectfiles");
        when(
            &s.w, [&] { return s.converter_running(); },
            [&] { escape ? QTest::keyClick(&s.w, Qt::Key_Escape) : click(selectfiles); });
        QElapsedTimer timer;
        timer.start();
        click(selectfiles);
        QVERIFY(timer.elapsed() < 5000);
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
