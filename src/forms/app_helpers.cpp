#include "forms/app_helpers.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPointer>
#include <QStyleFactory>
#include <QWidget>

namespace mod_utils_dsw {

QString version_string() {
    return version_string(KIVO_VERSION_MAJOR, KIVO_VERSION_MINOR, KIVO_VERSION_PATCH);
}

QString version_string(int major, int minor, int revision) {
    return QStringLiteral("v%1.%2.%3").arg(major).arg(minor).arg(revision);
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
    return s.toLocal8Bit().toStdString();
}

QString from_core(const std::string& s) {
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
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

} // namespace mod_utils_dsw
