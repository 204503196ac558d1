// Kivo: a desktop front end for the handheld organiser file converters.

#include "forms/app_helpers.h"
#include "forms/frm_main.h"
#include "kivo_version.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kivo"));
    QApplication::setApplicationVersion(QString::fromLatin1(kivo_version::text));
    QApplication::setWindowIcon(forms::kivo_icon());
    forms::use_classic_style();
    forms::tell_engine_where_it_lies(QCoreApplication::applicationFilePath());
    forms::frm_main window;
    window.show();
    return app.exec();
}
