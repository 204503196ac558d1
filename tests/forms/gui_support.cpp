#include "gui_support.h"

#include "convert/state.h"
#include "forms/file_dialog.h"
#include "forms/widgets.h"
#include "platform/conventions.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

namespace kivo_gui_test {

app_dir::app_dir() : app(root / "app") {
    kivo_test::make_dir(app);
    auto& s = mod_convert::state();
    s = mod_convert::module_state{};
    s.app_dir = app;
    s.exe_base_name = "kivo";
}

void click(QAbstractButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(4, b->height() / 2));
}

void when(QObject* context, std::function<bool()> ready, std::function<void()> act) {
    if (ready()) {
        act();
        return;
    }
    QTimer::singleShot(20, context, [=] { when(context, ready, act); });
}

batch_setup::batch_setup(const installer& install)
    : installed((kivo_test::make_dir(data), install(dir.app, pid_file), true)) {
    w.show();
}

std::string batch_setup::path(const char* name) const {
    return data + platform::native_separator() + name;
}

void batch_setup::pick(std::initializer_list<const char*> names) {
    QStringList files;
    for (const char* name : names) {
        kivo_test::write_file(path(name), "x");
        files << QString::fromStdString(path(name));
    }
    forms::file_dialog::set_next_answer(files);
}

bool batch_setup::converter_running() const {
    return kivo_test::exists(pid_file) && !kivo_test::read_file(pid_file).empty();
}

qint64 batch_setup::run_and_stop(bool escape) {
    auto* selectfiles = child<QPushButton>(&w, "cmd_selectfiles");
    when(
        &w, [this] { return converter_running(); },
        [=] { escape ? QTest::keyClick(&w, Qt::Key_Escape) : click(selectfiles); });
    QElapsedTimer timer;
    timer.start();
    click(selectfiles);
    return timer.elapsed();
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
    forms::use_classic_style();
    return QTest::qExec(&test, argc, argv);
}

} // namespace kivo_gui_test
