// The directory picker: its answers, its lists, and the directory batch waiting for it.

#include "convert/formats.h"
#include "forms/dir_widgets.h"
#include "forms/frm_dirlist.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QPushButton>

#include <unistd.h>

using namespace kivo_gui_test;
using mod_convert::state;

namespace {

QString native(const std::string& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path));
}

QStringList shown(QListWidget* list) {
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text().trimmed();
    return names;
}

} // namespace

class frm_dirlist_posix_test : public QObject {
    Q_OBJECT

    kivo_test::temp_dir tree;

private slots:
    void init() {
        state() = mod_convert::module_state{};
        QDir::setCurrent(QString::fromStdString(tree.path()));
    }

    void layout() {
        forms::frm_dirlist picker;
        QCOMPARE(picker.windowTitle(), QStringLiteral("Select a directory"));
        QCOMPARE(picker.size(), QSize(460, 192));
        const std::pair<const char*, QRect> places[] = {
            {"Drive1", forms::twips(240, 120, 3135, 315)},       {"Dir1", forms::twips(240, 600, 3135, 2115)},
            {"File1", forms::twips(3600, 120, 3135, 1650)},      {"cmd_okay", forms::twips(3840, 2040, 1215, 615)},
            {"cmd_cancel", forms::twips(5280, 2040, 1215, 615)},
        };
        for (const auto& [name, rect] : places)
            QCOMPARE(child(&picker, QLatin1String(name))->geometry(), rect);
        QCOMPARE(child<QPushButton>(&picker, "cmd_okay")->text(), QStringLiteral("Okay"));
        QCOMPARE(child<QPushButton>(&picker, "cmd_cancel")->text(), QStringLiteral("Cancel"));
        QVERIFY(!child<QPushButton>(&picker, "cmd_okay")->isDefault());
        QCOMPARE(child<forms::drive_list_box>(&picker, "Drive1")->itemText(0), QDir::toNativeSeparators("/"));
    }

    void okay_answers_the_open_directory_and_stays_open() {
        kivo_test::make_dir(tree / "sub dir");
        kivo_test::write_file(tree / "shown.txt", "");
        kivo_test::write_file(tree / ".hidden", "");
        auto* picker = new forms::frm_dirlist();
        picker->show();
        auto* dirs = child<forms::dir_list_box>(picker, "Dir1");
        QCOMPARE(dirs->Path(), native(tree.path()));
        QCOMPARE(shown(child<QListWidget>(picker, "File1")), QStringList({"shown.txt"}));

        dirs->setCurrentRow(dirs->count() - 1); // "sub dir", highlighted only
        QCOMPARE(dirs->currentItem()->text().trimmed(), QStringLiteral("sub dir"));
        child<QPushButton>(picker, "cmd_okay")->click();
        QCOMPARE(state().chosen_directory, tree.path() + "/");
        QVERIFY(picker->isVisible());

        QTest::keyClick(dirs, Qt::Key_Return); // opens it
        QCOMPARE(dirs->Path(), native(tree / "sub dir"));
        QCOMPARE(shown(child<QListWidget>(picker, "File1")), QStringList());
        child<QPushButton>(picker, "cmd_okay")->click();
        QCOMPARE(state().chosen_directory, tree / "sub dir/");

        picker->close(); // the caller's unload keeps the answer
        QCOMPARE(state().chosen_directory, tree / "sub dir/");

        forms::frm_dirlist root_picker;
        child<forms::dir_list_box>(&root_picker, "Dir1")->setPath(QStringLiteral("/"));
        child<QPushButton>(&root_picker, "cmd_okay")->click();
        QCOMPARE(state().chosen_directory, std::string("/"));
    }

    void cancel_and_close_box_answer_minus_one() {
        for (bool by_cancel : {true, false}) {
            state().chosen_directory.clear();
            auto* picker = new forms::frm_dirlist();
            picker->show();
            if (by_cancel)
                child<QPushButton>(picker, "cmd_cancel")->click();
            else
                picker->close();
            QCOMPARE(state().chosen_directory, std::string("-1"));
        }
    }

    void an_unreadable_drive_snaps_back() {
        forms::frm_dirlist picker;
        auto* drives = child<forms::drive_list_box>(&picker, "Drive1");
        const QString before = drives->Drive();
        drives->addItem(QStringLiteral("/no/such/volume"));
        drives->setCurrentIndex(drives->count() - 1);
        picker.Drive1_Change();
        QCOMPARE(drives->Drive(), before);
        QVERIFY(QDir(child<forms::dir_list_box>(&picker, "Dir1")->Path()).isReadable());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 child<forms::dir_list_box>(&picker, "Dir1")->setPath("/no/such/volume"));
    }

    void a_directory_run_through_the_picker() {
        app_dir dir;
        dir.converter("WRD2HTML", "echo converted\n");
        kivo_test::write_file(tree / "a b&c.wrd", "x");
        kivo_test::write_file(tree / "$(touch pwned).wrd", "x");
        forms::frm_main w;
        w.show();
        QTest::mouseClick(option(&w, "opt_from", mod_convert::wrd), Qt::LeftButton, {}, QPoint(4, 8));
        when_window("frm_dirlist", [&](QWidget* picker) {
            QVERIFY(!child(&w, "cmd_selectdir")->isEnabled()); // no second batch meanwhile
            QVERIFY(!option(&w, "opt_from", mod_convert::agn)->isEnabled());
            QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Processing..."));
            child<QPushButton>(picker, "cmd_okay")->click();
        });
        child<QPushButton>(&w, "cmd_selectdir")->click();
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 2"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QCOMPARE(kivo_test::read_file(tree / "a b&c.html"), std::string("converted\n"));
        QVERIFY(!kivo_test::exists(tree / "pwned"));
        QVERIFY(child(&w, "cmd_selectdir")->isEnabled());
        QVERIFY(option(&w, "opt_from", mod_convert::agn)->isEnabled());
        QVERIFY(!option(&w, "opt_from", mod_convert::html)->isEnabled());
        QTRY_VERIFY(!open_window("frm_dirlist"));
    }

    void closing_the_main_window_ends_a_waiting_batch() {
        app_dir dir;
        dir.converter("dbf2tsv", "echo converted\n");
        kivo_test::write_file(tree / "a.dbf", "x");
        forms::frm_main w;
        w.show();
        when_window("frm_dirlist", [&](QWidget*) { w.close(); });
        child<QPushButton>(&w, "cmd_selectdir")->click();
        QCOMPARE(state().chosen_directory, std::string("-1"));
        QCOMPARE(caption(&w, "lbl_nfiles"), QStringLiteral("Files processed: 0"));
        QCOMPARE(caption(&w, "lbl_status"), QStringLiteral("Status: Idle"));
        QVERIFY(!kivo_test::exists(tree / "a.tsv"));
        QVERIFY(!open_window("frm_dirlist"));
    }

    void every_showing_starts_in_the_current_directory() {
        kivo_test::make_dir(tree / "elsewhere");
        for (int round = 0; round < 2; ++round) {
            auto* picker = new forms::frm_dirlist();
            picker->show();
            auto* dirs = child<forms::dir_list_box>(picker, "Dir1");
            QCOMPARE(dirs->Path(), native(tree.path()));
            dirs->setPath(QString::fromStdString(tree / "elsewhere"));
            picker->close();
        }
    }

    // A current directory whose name Qt cannot hold would lead to another one (once: to "/", selected).
    void a_current_directory_it_cannot_show_is_no_choice() {
        const std::string odd = tree / "caf\xe9";
        kivo_test::make_dir(odd);
        QVERIFY(::chdir(odd.c_str()) == 0);
        forms::frm_dirlist picker;
        auto* dirs = child<forms::dir_list_box>(&picker, "Dir1");
        auto* okay = child<QPushButton>(&picker, "cmd_okay");
        QCOMPARE(dirs->Path(), QDir::toNativeSeparators(QDir::homePath()));
        QVERIFY(!dirs->currentItem());
        QVERIFY(!okay->isEnabled());
        dirs->setPath(QString::fromStdString(tree.path())); // the user opens a directory
        QVERIFY(okay->isEnabled());
    }
};

KIVO_GUI_TEST_MAIN(frm_dirlist_posix_test)
#include "frm_dirlist_posix_test.moc"
