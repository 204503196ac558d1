#include "forms/app_helpers.h"

#include "convert/state.h"
#include "kivo_version.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QPointer>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QWidget>

namespace forms {

QString version_string() {
    return version_string(kivo_version::major, kivo_version::minor, kivo_version::patch);
}

QString version_string(int major, int minor, int revision) {
    return QStringLiteral("v%1.%2.%3").arg(major).arg(minor).arg(revision);
}

void tell_engine_where_it_lies(const QString& program_file) {
    const QFileInfo program(program_file);
    auto& engine = mod_convert::state();
    engine.app_dir = to_core(QDir::toNativeSeparators(program.absolutePath()));
    engine.exe_base_name = to_core(program.completeBaseName());
    engine.user_job_dir =
        to_core(QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)));
}

void unload_other_forms(QWidget* frm) {
    QList<QPointer<QWidget>> forms;
    for (QWidget* w : QApplication::topLevelWidgets())
        forms.append(w);
    for (auto i = forms.size() - 1; i >= 0; --i) {
        QWidget* w = forms[i];
        if (w && w->isVisible() && w->objectName() != frm->objectName())
            w->close();
    }
}

std::string to_core(const QString& s) {
    return s.toUtf8().toStdString();
}

QString from_core(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QIcon kivo_icon() {
    QIcon icon;
    for (const char* size : {"48", "128"})
        icon.addFile(QStringLiteral(":/kivo/kivo-%1.png").arg(QLatin1String(size)));
    return icon;
}

QFont form_font(qreal point_size) {
    // Arial's metrics are closest to the small dialog font the layout was drawn for.
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica"), font.family()});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(point_size);
    return font;
}

void use_classic_style() {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);
}

} // namespace forms
