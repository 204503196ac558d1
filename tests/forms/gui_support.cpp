#include "gui_support.h"

#include "convert/state.h"
#include "forms/widgets.h"

#include <QTimer>

namespace kivo_gui_test {

app_dir::app_dir() : app(root / "app") {
    kivo_test::make_dir(app);
    auto& s = mod_convert::state();
    s = mod_convert::module_state{};
    s.app_dir = app;
    s.exe_base_name = "kivo";
}

QRadioButton* option(QWidget* window, const char* array, int index) {
    return child<QRadioButton>(window, QStringLiteral("%1(%2)").arg(QLatin1String(array)).arg(index));
}

QString caption(QWidget* window, const char* label) {
    return child<forms::caption_label>(window, QLatin1String(label))->caption();
}

QWidget* open_window(const QString& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

namespace {

void poll(std::function<QWidget*()> find, std::function<void(QWidget*)> act, int remaining_ms) {
    if (QWidget* w = find()) {
        act(w);
        return;
    }
    if (remaining_ms <= 0) {
        QTest::qFail("the expected window never showed", __FILE__, __LINE__);
        return;
    }
    QTimer::singleShot(20, [=] { poll(find, act, remaining_ms - 20); });
}

} // namespace

void when_modal(std::function<void(QWidget*)> answer, int timeout_ms) {
    poll([] { return QApplication::activeModalWidget(); }, std::move(answer), timeout_ms);
}

void when_window(const QString& name, std::function<void(QWidget*)> act, int timeout_ms) {
    poll([name] { return open_window(name); }, std::move(act), timeout_ms);
}

int run_gui_test(QObject& test, int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    mod_utils_dsw::use_classic_style();
    return QTest::qExec(&test, argc, argv);
}

} // namespace kivo_gui_test
