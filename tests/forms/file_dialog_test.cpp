// CommonDialog1 on the real (non-native) QFileDialog: filters, multi-selection, cancel.

#include "forms/file_dialog.h"
#include "gui_support.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QLineEdit>

using namespace kivo_gui_test;
using forms::file_dialog;

class file_dialog_test : public QObject {
    Q_OBJECT

    kivo_test::temp_dir dir;

    QString in_dir(const char* name) const { return QString::fromStdString(dir / name); }

private slots:
    void initTestCase() {
        for (const char* name : {"a.wrd", "b c.wrd", "readme", "x.agn"})
            kivo_test::write_file(dir / name, "");
    }

    void filters_and_results() {
        QCOMPARE(file_dialog::name_filters("All files (*.*)|*.*|User-specified (*.wrd)|*.wrd"),
                 QStringList({"All files (*.*) (*)", "User-specified (*.wrd) (*.wrd)"}));
        QCOMPARE(file_dialog::name_filters("Text|*.txt;*.tsv"), QStringList({"Text (*.txt *.tsv)"}));
        QCOMPARE(file_dialog::selection_text({in_dir("a.wrd")}), dir / "a.wrd");
        QCOMPARE(file_dialog::selection_text({in_dir("a.wrd"), in_dir("b c.wrd")}),
                 dir.path() + '\0' + "a.wrd" + '\0' + "b c.wrd");
    }

    void the_real_dialog_picks_several_files() {
        file_dialog d;
        d.Flags = 0x80200;
        d.Filter = "All files (*.*)|*.*|User-specified (*.wrd)|*.wrd";
        d.FilterIndex = 2;
        d.DialogTitle = "Select files";
        QString title, filter;
        QFileDialog::FileMode mode{};
        when_modal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            QVERIFY(dialog);
            title = dialog->windowTitle();
            filter = dialog->selectedNameFilter();
            mode = dialog->fileMode();
            dialog->setDirectory(QString::fromStdString(dir.path()));
            child<QLineEdit>(dialog, "fileNameEdit")->setText(QStringLiteral("\"b c.wrd\" \"a.wrd\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        d.ShowOpen();
        QCOMPARE(title, QStringLiteral("Select files"));
        QCOMPARE(filter, QStringLiteral("User-specified (*.wrd)")); // shown without the pattern list
        QCOMPARE(mode, QFileDialog::ExistingFiles);
        QCOMPARE(d.FileName, dir.path() + '\0' + "b c.wrd" + '\0' + "a.wrd");
    }

    void the_real_dialog_shows_dotless_names_and_keeps_the_name_on_cancel() {
        file_dialog d;
        d.Flags = 0x80000;
        d.Filter = "All files (*.*)|*.*";
        d.FilterIndex = 1;
        d.FileName = "unchanged";
        bool readme_listed = false;
        when_modal([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog->setDirectory(QString::fromStdString(dir.path()));
            auto* view = dialog->findChild<QAbstractItemView*>("listView");
            QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) >= 4);
            for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
                readme_listed |= view->model()->index(row, 0, view->rootIndex()).data() == QStringLiteral("readme");
            dialog->reject();
        });
        d.ShowOpen();
        QVERIFY(readme_listed);
        QCOMPARE(d.FileName, std::string("unchanged"));
    }

    void the_next_answer_hook_replaces_the_user() {
        file_dialog d;
        file_dialog::set_next_answer({in_dir("x.agn")});
        d.ShowOpen();
        QCOMPARE(d.FileName, dir / "x.agn");
        file_dialog::set_next_answer({});
        d.ShowOpen();
        QCOMPARE(d.FileName, dir / "x.agn");
    }
};

KIVO_GUI_TEST_MAIN(file_dialog_test)
#include "file_dialog_test.moc"
