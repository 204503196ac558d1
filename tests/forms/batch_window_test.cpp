// The window during a batch, on every system: alive and locked against a second start while its
// converter runs, stoppable by the button, Escape or closing it, nothing of the converter left after.

#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"
#include "platform/conventions.h"

#include <QAction>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <functional>

using namespace kivo_gui_test;

namespace {

// A window whose dbf2tsv waits `wait_ms` (-1: for ever), then prints "x".
batch_setup waiting(int wait_ms) {
    return batch_setup([wait_ms](const std::string& app, const std::string& pid_file) {
        kivo_test::write_waiting_converter(app, "dbf2tsv", "x\n", wait_ms, pid_file);
    });
}

} // namespace

class batch_window_test : public QObject {
    Q_OBJECT

private slots:
    void the_window_lives_and_is_locked_while_a_converter_runs() {
        batch_setup s = waiting(500);
        s.pick({"a.dbf"});
        auto* selectfiles = child<QPushButton>(&s.w, "cmd_selectfiles");
        auto* selectdir = child<QPushButton>(&s.w, "cmd_selectdir");
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(20);
        bool checked = false;
        when(
            &s.w, [&] { return s.converter_running(); },
            [&] {
                QCOMPARE(selectfiles->text(), QStringLiteral("stop"));
                QVERIFY(selectfiles->isEnabled());
                for (const char* name : {"cmd_selectdir", "Frame1", "Frame2", "chk_debug"})
                    QVERIFY2(!child(&s.w, name)->isEnabled(), name);
                for (const char* name : {"menu_file_selectfiles", "menu_file_selectdir", "menu_advanced_options"})
                    QVERIFY2(!s.w.findChild<QAction*>(name)->isEnabled(), name);
                QVERIFY(child(&s.w, "cmd_about")->isEnabled());
                QTRY_COMPARE(caption(&s.w, "lbl_currpath"), QString::fromStdString("File: " + s.path("a.dbf")));
                click(selectdir); // ignored, and not replayed after the batch
                checked = true;
            });
        click(selectfiles);
        QVERIFY(checked);
        QVERIFY2(ticks >= 10, "the event loop ran while the converter did");
        QCOMPARE(kivo_test::read_file(s.path("a.tsv")), std::string("x\n"));
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
        batch_setup s = waiting(-1);
        s.pick({"slow.dbf", "later.dbf"});
        auto* selectfiles = child<QPushButton>(&s.w, "cmd_selectfiles");
        QVERIFY(s.run_and_stop(escape) < 5000);
        QCOMPARE(caption(&s.w, "lbl_status"), QStringLiteral("Status: Stopped"));
        QCOMPARE(caption(&s.w, "lbl_nfiles"), QStringLiteral("Files processed: 0"));
        QVERIFY2(!kivo_test::exists(s.path("slow.tsv")), "the unfinished output is removed");
        QVERIFY(!kivo_test::exists(s.path("later.tsv")));
        QVERIFY(kivo_test::process_ended(s.pid_file));
        QCOMPARE(selectfiles->text(), QStringLiteral("select files to convert"));
        QVERIFY(selectfiles->isEnabled());
    }

    // A stop asked by closing the window reaches the waiting batch at once, though closing posts no event.
    void closing_the_window_mid_batch_leaves_no_converter() {
        batch_setup s = waiting(-1);
        s.pick({"a.dbf"});
        when(
            &s.w, [&] { return s.converter_running(); }, [&] { s.w.close(); });
        click(child<QPushButton>(&s.w, "cmd_selectfiles"));
        QTRY_VERIFY(!s.w.isVisible());
        QVERIFY(kivo_test::process_ended(s.pid_file));
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(batch_window_test)
#include "batch_window_test.moc"
