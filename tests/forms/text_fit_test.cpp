// Every caption, label and button text of every window fits inside its control, in the fonts the
// set-up script installs.

#include "forms/frm_about.h"
#include "forms/frm_dirlist.h"
#include "forms/frm_main.h"
#include "gui_support.h"

#include <QCheckBox>
#include <QStyle>

using namespace kivo_gui_test;

namespace {

// Independent of the forms' own measure: a control's text against the width its frame shows.
int free_width(QWidget* w, int indicator) {
    const QWidget* frame = w->parentWidget();
    const int frame_right = frame->width() - 2; // the frame's border line
    return qMin(w->geometry().right(), frame_right) - w->x() - indicator;
}

} // namespace

class text_fit_test : public QObject {
    Q_OBJECT

private slots:
    void every_text_of_every_window_fits() {
        app_dir dir;
        forms::frm_main main_window;
        forms::frm_dirlist picker;
        forms::frm_about about;
        for (QWidget* window : std::initializer_list<QWidget*>{&main_window, &picker, &about}) {
            window->show();
            const QStringList clipped = forms::clipped_texts(window);
            QVERIFY2(clipped.isEmpty(),
                     qPrintable(window->objectName() + QStringLiteral(": ") + clipped.join(QStringLiteral("; "))));
        }
    }

    // The captions that were clipped, measured with nothing of the forms' own.
    void the_longest_captions_fit() {
        app_dir dir;
        forms::frm_main w;
        w.show();
        const int radio = w.style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                          w.style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
        const int check =
            w.style()->pixelMetric(QStyle::PM_IndicatorWidth) + w.style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
        for (const char* array : {"opt_from", "opt_to"}) {
            QRadioButton* csv = option(&w, array, 11);
            QVERIFY2(csv->fontMetrics().horizontalAdvance(csv->text()) <= free_width(csv, radio), array);
        }
        for (const char* name : {"chk_matchfilename", "chk_includesubdirs"}) {
            auto* box = child<QCheckBox>(&w, QLatin1String(name));
            const QRect lines = box->fontMetrics().boundingRect(QRect(0, 0, free_width(box, check), 1000),
                                                                Qt::TextWordWrap, box->text());
            QVERIFY2(lines.height() <= box->height() && lines.width() <= free_width(box, check), name);
        }
    }
};

KIVO_GUI_TEST_MAIN(text_fit_test)
#include "text_fit_test.moc"
