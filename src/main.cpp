// Kivo: a desktop front end for the handheld organiser file converters.

#include "forms/frm_main.h"
#include "util/app_helpers.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    mod_utils_dsw::use_classic_style();
    mod_utils_dsw::set_engine_paths();
    forms::frm_main window;
    window.show();
    return app.exec();
}
