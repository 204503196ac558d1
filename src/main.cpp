// Kivo: a desktop front end for the handheld organiser file converters.

#include "convert/state.h"
#include "forms/app_helpers.h"
#include "forms/frm_main.h"
#include "kivo_version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivo"));
    QApplication::setApplicationVersion(QString::fromLatin1(kivo_version::text));
    QApplication::setWindowIcon(mod_utils_dsw::kivo_icon());
    mod_utils_dsw::use_classic_style();
    // Where the program lies (converters, job files, log) and what it is called (the log's name).
    auto& engine = mod_convert::state();
    engine.app_dir = mod_utils_dsw::to_core(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
    engine.exe_base_name =
        mod_utils_dsw::to_core(QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
    forms::frm_main window;
    window.show();
    return app.exec();
}
