// The program from start-up through a run and its final status, on every system: the pairs a fresh
// build offers, a picked folder without a match, the single output file forgotten with its pair, and
// the current file's name kept whole.

#include "convert/formats.h"
#include "forms/file_dialog.h"
#include "forms/frm_main.h"
#include "gui_support.h"
#include "platform/conventions.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextDocument>

using namespace kivo_gui_test;

namespace {

// A path from its parts, with this system's separator.
template <typename... Parts> std::string native(std::string path, const Parts&... parts) {
    ((path += platform::native_separator(), path += parts), ...);
    return path;
}

} // namespace

class end_to_end_test : public QObject {
    Q_OBJECT

private slots:
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

    void a_picked_folder_without_a_match_says_where_kivo_looked() {
        app_dir dir;
        dir.converter("agn2tsv");
        const std::string backup = dir.root / "backup";
        kivo_test::make_dir(native(backup, "AGN"));
        kivo_test::write_file(native(backup, "AGN", "diary.agn"), "x");
        const QString before = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(backup));
        forms::frm_main w;
        w.show();
        click(option(&w, "opt_from", mod_convert::agn));
        // AGN highlighted, not opened: the opened folder is the answer.
        when_window("frm_dirlist", [&](QWidget* picker) {
            auto* dirs = child<QListWidget>(picker, "Dir1");
            dirs->setCurrentRow(dirs->count() - 1);
            child<QPushButton>(picker, "cmd_okay")->click();
        });
        click(child<QPushButton>(&w, "cmd_selectdir"));
        QCOMPARE(caption(&w, "lbl_status"),
                 QString::fromStdString("Status: Idle (no file matched *.agn in " + backup + ")"));
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 0"));
        QDir::setCurrent(before);
    }

    void a_pair_change_forgets_the_single_file_and_the_next_run_asks() {
        app_dir dir;
        dir.converter("agn2tsv", "echo agenda\n");
        dir.converter("csv2tsv", "echo contact\n");
        const std::string data = dir.root / "data";
        kivo_test::make_dir(data);
        kivo_test::write_file(native(data, "people.csv"), "x");
        kivo_test::write_file(dir.root / "agendas.tsv", "kept\n");
        forms::frm_main w;
        w.show();
        click(option(&w, "opt_from", mod_convert::agn));
        forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "agendas.tsv")});
        click(child<QRadioButton>(&w, "opt_to_one"));
        click(option(&w, "opt_from", mod_convert::csv));
        QVERIFY(child<QRadioButton>(&w, "opt_to_one")->isChecked());

        forms::file_dialog::set_next_answer({QString::fromStdString(dir.root / "contacts.tsv")}); // asked first
        forms::file_dialog::set_next_answer({QString::fromStdString(native(data, "people.csv"))});
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QCOMPARE(kivo_test::read_file(dir.root / "agendas.tsv"), std::string("kept\n"));
        QCOMPARE(kivo_test::read_file(dir.root / "contacts.tsv"),
                 std::string("people.csv\tcontact") + platform::native_line_end());
        QCOMPARE(child<QLineEdit>(&w, "txt_to_filename")->text(), QStringLiteral("contacts.tsv"));

        click(option(&w, "opt_from", mod_convert::agn));
        forms::file_dialog::set_next_answer({}); // asked, and cancelled: nothing runs
        click(child<QPushButton>(&w, "cmd_selectfiles"));
        QVERIFY(child<QRadioButton>(&w, "opt_to_many")->isChecked());
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 1"));
    }

    void the_current_file_keeps_its_name_whole() {
        forms::caption_label label;
        label.resize(300, 20);
        label.setElidePath(true);
        const QString path = QStringLiteral("File: /home/someone/organiser backup/M/WVE/<b>") +
                             QString(40, QLatin1Char('x')) + QStringLiteral("/Voice note number 17.wve");
        label.setCaption(path);
        QVERIFY(label.text().endsWith(QStringLiteral("/Voice note number 17.wve")));
        QVERIFY(label.text().startsWith(QStringLiteral("File: /")));
        QVERIFY(label.text().contains(QChar(0x2026)));
        QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= label.contentsRect().width());
        QTextDocument tip;
        tip.setHtml(label.toolTip());
        QCOMPARE(tip.toPlainText(), path); // a name is never read as markup
    }

    void cleanup() { forms::file_dialog::clear_next_answer(); }
};

KIVO_GUI_TEST_MAIN(end_to_end_test)
#include "end_to_end_test.moc"
