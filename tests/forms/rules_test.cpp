// The rules that tie source, target and output mode together, and the converter gate.

#include "convert/formats.h"
#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace kivo_gui_test;
using namespace mod_convert;

namespace {

struct window_view {
    forms::frm_main& w;
    QRadioButton* from(int i) const { return option(&w, "opt_from", i); }
    QRadioButton* to(int i) const { return option(&w, "opt_to", i); }
    QRadioButton* many() const { return child<QRadioButton>(&w, "opt_to_many"); }
    QRadioButton* one() const { return child<QRadioButton>(&w, "opt_to_one"); }
    QLineEdit* from_box() const { return child<QLineEdit>(&w, "txt_from_filename"); }
    QLineEdit* to_box() const { return child<QLineEdit>(&w, "txt_to_filename"); }
    QCheckBox* match() const { return child<QCheckBox>(&w, "chk_matchfilename"); }
    QList<int> enabled_targets() const {
        QList<int> enabled;
        for (int i = 0; i < format_count; ++i)
            if (to(i)->isEnabled())
                enabled << i;
        return enabled;
    }
    int selected_target() const {
        for (int i = 0; i < format_count; ++i)
            if (to(i)->isChecked())
                return i;
        return -1;
    }
    bool runs_enabled() const {
        const bool buttons = child(&w, "cmd_selectfiles")->isEnabled() && child(&w, "cmd_selectdir")->isEnabled();
        const bool menu = w.findChild<QAction*>("menu_file_selectfiles")->isEnabled() &&
                          w.findChild<QAction*>("menu_file_selectdir")->isEnabled();
        if (buttons != menu || buttons != child(&w, "cmd_selectdir")->isEnabled())
            QTest::qFail("the run buttons and their menu twins disagree", __FILE__, __LINE__);
        return buttons;
    }
    void click(QAbstractButton* b) const { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2)); }
};

} // namespace

class rules_test : public QObject {
    Q_OBJECT

private slots:
    void every_source_offers_its_targets() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const window_view v{w};
        struct {
            int source;
            QList<int> targets;
            int selected;
            bool single;
        } rows[] = {
            {agn, {tsv}, tsv, true},
            {dbf, {tsv}, tsv, true},
            {spr, {tsv}, tsv, true},
            {wrd, {html, txt}, html, false},
            {tsv, {dbf, spr, csv}, dbf, false},
            {pic, {pcx}, pcx, false},
            {pcx, {pic}, pic, false},
            {wve, {wav}, wav, false},
            {wav, {wve}, wve, false},
            {csv, {tsv}, tsv, true},
        };
        for (const auto& r : rows) {
            v.click(v.from(r.source));
            QVERIFY(v.from(r.source)->isChecked());
            auto targets = r.targets;
            std::sort(targets.begin(), targets.end());
            QCOMPARE(v.enabled_targets(), targets);
            QCOMPARE(v.selected_target(), r.selected);
            QCOMPARE(v.one()->isEnabled(), r.single);
            QCOMPARE(v.from_box()->text(), "*." + QString::fromStdString(format_ext(r.source)));
            QCOMPARE(v.to_box()->text(), "*." + QString::fromStdString(format_ext(r.selected)));
            QCOMPARE(state().source_format, r.source);
            QCOMPARE(state().target_format, r.selected);
            const bool own_output = r.source == pic || r.source == pcx || r.source == wve || r.source == wav;
            QCOMPARE(v.to_box()->isEnabled(), !own_output);
            QVERIFY(!v.from(html)->isEnabled());
            QVERIFY(!v.from(txt)->isEnabled());
        }
        v.click(v.from(html));
        v.click(v.from(txt));
        QVERIFY2(v.from(csv)->isChecked(), "html and txt can never be sources");
    }

    void sequences_of_choices() {
        app_dir dir;
        dir.converter("agn2tsv");
        dir.converter("csv2tsv");
        forms::frm_main w;
        w.show();
        const window_view v{w};

        v.click(v.from(tsv));
        v.click(v.to(csv));
        QVERIFY2(!v.one()->isEnabled(), "single file is decided by the source click only");
        QCOMPARE(v.to_box()->text(), QStringLiteral("*.csv"));

        v.click(v.from(agn));
        forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "all.tsv")});
        v.click(v.one());
        QVERIFY(v.one()->isChecked());
        QCOMPARE(v.to_box()->text(), QStringLiteral("all.tsv"));
        QVERIFY(!v.to_box()->isEnabled());
        QCOMPARE(state().single_output_file, dir.root / "all.tsv");
        QVERIFY(v.to_box()->toolTip().contains(QString::fromStdString(dir.root / "all.tsv")));
        QCOMPARE(caption(&w, "lbl_note"), QStringLiteral("Single file:\rall.tsv"));

        v.click(v.from(csv)); // again a tsv target: single file stays, the file chosen for agn goes
        QVERIFY(v.one()->isChecked() && v.one()->isEnabled());
        QCOMPARE(v.to_box()->text(), QString());
        QVERIFY(!v.to_box()->isEnabled());
        QCOMPARE(state().single_output_file, std::string());
        QCOMPARE(caption(&w, "lbl_note"), QString());

        v.click(v.from(pic)); // pic converters name their own output
        QVERIFY(!v.one()->isEnabled());
        QVERIFY(v.many()->isChecked());
        QCOMPARE(v.to_box()->text(), QStringLiteral("*.pcx"));
        QVERIFY(!v.to_box()->isEnabled());
        QVERIFY(!child(&w, "lbl_to_filename")->isEnabled());
    }

    void single_file_cancelled_falls_back_to_individual_files() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const window_view v{w};
        forms::file_dialog::set_next_answer({});
        v.click(v.one());
        QVERIFY(v.many()->isChecked());
        QCOMPARE(v.to_box()->text(), QStringLiteral("*.tsv"));
        QVERIFY(v.to_box()->isEnabled());
        QCOMPARE(state().single_output_file, std::string());
    }

    void filter_box_follows_its_check_box() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const window_view v{w};
        v.from_box()->setText(QStringLiteral("d*.dbf"));
        v.click(v.match());
        QVERIFY(!v.from_box()->isEnabled());
        QCOMPARE(v.from_box()->text(), QStringLiteral("d*.dbf"));
        v.click(v.match());
        QVERIFY(v.from_box()->isEnabled());
    }

    void an_edited_output_box_is_reset() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const window_view v{w};
        const std::function<void()> resets[] = {
            [&] { v.click(v.from(spr)); },
            [&] {
                forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "x.tsv")});
                v.click(v.one());
                v.click(v.many());
            },
            [&] {
                v.click(v.from(wrd));
                v.to_box()->setText(QStringLiteral("*.htm"));
                v.click(v.to(txt));
            },
        };
        for (const auto& reset : resets) {
            v.to_box()->setText(QStringLiteral("*.tab"));
            reset();
            QCOMPARE(v.to_box()->text(), "*." + QString::fromStdString(format_ext(v.selected_target())));
        }
    }

    void gate_without_any_converter() {
        app_dir dir;
        forms::frm_main w;
        const window_view v{w};
        QCOMPARE(caption(&w, "lbl_note"),
                 QStringLiteral("Conversion is not possible.\rdbf2tsv\r is not present in the application directory."));
        QCOMPARE(child<QLabel>(&w, "lbl_note")->text(),
                 QStringLiteral("Conversion is not possible.\ndbf2tsv\n is not present in the application directory."));
        QVERIFY(!v.runs_enabled());
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
    }

    void gate_finds_the_pairs_converter() {
        app_dir dir;
        dir.converter("dbf2tsv");
        dir.converter("WRD2HTML");
        dir.converter("WSPCX");
        forms::frm_main w;
        w.show();
        const window_view v{w};
        QVERIFY(v.runs_enabled());
        QCOMPARE(caption(&w, "lbl_note"), QString());
        const std::pair<int, int> steps[] = {{wrd, html}, {wrd, txt}, {pic, pcx}, {pcx, pic}};
        for (const auto& [source, target] : steps) {
            v.click(v.from(source));
            v.click(v.to(target));
            QVERIFY(v.runs_enabled());
        }
        v.click(v.from(agn));
        QVERIFY(!v.runs_enabled());
        QVERIFY(caption(&w, "lbl_note").contains(QStringLiteral("\ragn2tsv\r")));
    }

    void gate_ignores_hidden_and_unusable_files() {
        app_dir dir;
        dir.converter(".dbf2tsv");
        kivo_test::write_file(dir.app + "/dbf2tsv", "not executable");
        forms::frm_main w;
        QVERIFY(!window_view{w}.runs_enabled());
        mod_convert::state().app_dir = dir.app + "/"; // ending in a separator already, like a drive root
        dir.converter("agn2tsv");
        forms::frm_main again;
        window_view{again}.click(option(&again, "opt_from", agn));
        QVERIFY(window_view{again}.runs_enabled());
    }

    // Copied in while Kivo runs, the converter is found at once; taken away, it is missed.
    void the_gate_looks_again_when_the_program_folder_changes() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const window_view v{w};
        QVERIFY(!v.runs_enabled());
        dir.converter("dbf2tsv");
        QTRY_VERIFY_WITH_TIMEOUT(v.runs_enabled(), 5000);
        QCOMPARE(caption(&w, "lbl_note"), QString());
        for (const char* name : {"/dbf2tsv", "/dbf2tsv.bat"})
            QFile::remove(QString::fromStdString(dir.app + name));
        QTRY_VERIFY_WITH_TIMEOUT(!v.runs_enabled(), 5000);
    }

    void output_mode_and_filter_leave_the_verdict_alone() {
        for (bool present : {true, false}) {
            app_dir dir;
            if (present)
                dir.converter("dbf2tsv");
            forms::frm_main w;
            w.show();
            const window_view v{w};
            QCOMPARE(v.runs_enabled(), present);
            v.click(v.match());
            forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "all.tsv")});
            v.click(v.one());
            v.click(v.many());
            v.to_box()->setText(QStringLiteral("*.tab"));
            v.click(v.to(tsv)); // already selected: no click
            QCOMPARE(v.runs_enabled(), present);
        }
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(rules_test)
#include "rules_test.moc"
