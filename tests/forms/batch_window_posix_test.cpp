// The window during a batch: alive, locked against a second start, stoppable and closable.

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
    void the_window_lives_and_is_locked_while_a_converter_runs() {
        batch_setup s("sleep 0.5; echo x\n");
        s.pick({"a.dbf"});
        auto* selectfiles = child<QPushButton>(&s.w, "cmd_selectfiles");
        auto* selectdir = child<QPushButton>(&s.w, "cmd_selectdir");
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        bool checked = false;
        QTimer::singleShot(250, &s.w, [&] {
            QCOMPARE(selectfiles->text(), QStringLiteral("stop"));
            QVERIFY(selectfiles->isEnabled());
            for (const char* name : {"cmd_selectdir", "Frame1", "Frame2", "chk_debug"})
                QVERIFY2(!child(&s.w, name)->isEnabled(), name);
            for (const char* name : {"menu_file_selectfiles", "menu_file_selectdir", "menu_advanced_options"})
                QVERIFY2(!s.w.findChild<QAction*>(name)->isEnabled(), name);
            QVERIFY(child(&s.w, "cmd_about")->isEnabled());
            QCOMPARE(caption(&s.w, "lbl_currpath"), QString::fromStdString("File: " + s.data + "/a.dbf"));
            click(selectdir); // ignored, and not replayed after the batch
            checked = true;
        });
        click(selectfiles);
        QVERIFY(checked);
        QVERIFY2(ticks >= 10, "the event loop ran while the converter did");
        QCOMPARE(kivo_test::read_file(s.data + "/a.tsv"), std::string("x\n"));
        QCOMPARE(selectfiles->text(), QStringLiteral("select files to convert"));
        for (const char* name : {"cmd_selectfiles", "cmd_selectdir", "Frame1", "Frame2", "chk_debug"})
            QVERIFY2(child(&s.w, name)->isEnabled(), name);
        QTest::qWait(100);
        QVERIFY2(!open_window("frm_dirlist"), "the click made during the batch was not replayed");
        QCOMPARE(caption(&s.w, "lbl_status"), QStringLiteral("Status: Idle"));
    }

    void stop_ends_a_converter_that_never_ends_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("stop button") << false;
        QTest::newRow("Escape key") << true;
    }
    void stop_ends_a_converter_that_never_ends() {
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

    void closing_the_window_mid_batch_leaves_no_converter() {
        batch_setup s("echo $$ > 'PIDFILE'; sleep 1000\n");
        s.pick({"a.dbf"});
        when(
            &s.w, [&] { return s.converter_running(); }, [&] { s.w.close(); });
        click(child<QPushButton>(&s.w, "cmd_selectfiles"));
        QTRY_VERIFY(!s.w.isVisible());
        QVERIFY(kivo_test::process_ended(s.pid_file));
        QVERIFY(!kivo_test::exists(s.dir.app + "/kivotemp.sh"));
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(batch_window_posix_test)
#include "batch_window_posix_test.moc"
