#pragma once
// Shared pieces of the GUI tests: the test main, an application directory with fake converters,
// widget look-up by objectName, and answering modal dialogs.

#include "convert/state.h"
#include "converters.h"
#include "forms/app_helpers.h"
#include "forms/frm_main.h"
#include "forms/widgets.h"
#include "temp_dir.h"

#include <QApplication>
#include <QRadioButton>
#include <QtTest>

#include <functional>

namespace kivo_gui_test {

// Points the engine at a fresh application directory (root/app) and forgets earlier runs.
class app_dir {
public:
    app_dir();
    kivo_test::temp_dir root;
    std::string app;
    void converter(const std::string& name, const std::string& body = "exit 0\n") const {
        kivo_test::write_converter(app, name, body);
    }
};

// The main window over a data folder, its dbf2tsv put in place by `install` (given the application
// directory and the file where the converter may leave its process id), for tests of a running batch.
struct batch_setup {
    using installer = std::function<void(const std::string& app, const std::string& pid_file)>;
    explicit batch_setup(const installer& install);
    app_dir dir;
    std::string data = dir.root / "data";
    std::string pid_file = dir.root / "pid";
    bool installed;
    forms::frm_main w;                        // after the converter, so that the gate lets the run start
    std::string path(const char* name) const; // in the data folder
    // The file dialog's next answer: these files, made in the data folder.
    void pick(std::initializer_list<const char*> names);
    bool converter_running() const; // it has left its process id
    // Runs the picked files and stops the batch once its converter runs, by the stop button or
    // Escape; the milliseconds from the start to the batch's end.
    qint64 run_and_stop(bool escape);
};

// A missing widget fails the current test only; the test goes on with a stand-in that belongs to no window.
template <typename T = QWidget> T* child(QWidget* parent, const QString& name) {
    if (T* found = parent->findChild<T*>(name))
        return found;
    QTest::qFail(qPrintable(QStringLiteral("no widget named ") + name), __FILE__, __LINE__);
    static T* stand_in = new T();
    return stand_in;
}

QRadioButton* option(QWidget* window, const char* array, int index);
// The caption a label was given (a lone CR shows as a line break but stays CR here).
QString caption(QWidget* window, const char* label);
// The top-level window with this objectName, if one is open.
QWidget* open_window(const QString& name);

// A user's click on a button, near its left edge (where a wrapped caption leaves room).
void click(QAbstractButton* b);
// Runs `act` once `ready` holds, from the event loop that a running batch keeps going.
void when(QObject* context, std::function<bool()> ready, std::function<void()> act);

// Runs `answer` on the next modal dialog once it is up (polling, so a dialog never hangs a test).
void when_modal(std::function<void(QWidget*)> answer, int timeout_ms = 10000);
// Runs `act` once the top-level window `name` is visible.
void when_window(const QString& name, std::function<void(QWidget*)> act, int timeout_ms = 10000);

int run_gui_test(QObject& test, int argc, char** argv);

} // namespace kivo_gui_test

#define KIVO_GUI_TEST_MAIN(TestClass)                                                                                  \
    int main(int argc, char** argv) {                                                                                  \
        TestClass test;                                                                                                \
        return kivo_gui_test::run_gui_test(test, argc, argv);                                                          \
    }
