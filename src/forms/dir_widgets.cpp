#include "forms/dir_widgets.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>

namespace forms {
namespace {

constexpr int path_role = Qt::UserRole;

// The longest drive that is a prefix of `path`.
QString drive_of(const QStringList& drives, const QString& path) {
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(path));
    QString best;
    for (const QString& d : drives) {
        const QString root = QDir::cleanPath(QDir::fromNativeSeparators(d));
        const bool holds =
            clean.compare(root, Qt::CaseInsensitive) == 0 ||
            clean.startsWith(root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/'), Qt::CaseInsensitive);
        if (holds && root.size() > best.size())
            best = d;
    }
    return best;
}

QFileInfoList visible_entries(const QString& path, QDir::Filters kind) {
    QDir dir(path);
    return dir.entryInfoList(kind | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

} // namespace

drive_list_box::drive_list_box(QWidget* parent) : QComboBox(parent) {
    addItems(drives());
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });
}

QStringList drive_list_box::drives() {
    QStringList result;
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::toNativeSeparators(v.rootPath());
        if (v.isValid() && !result.contains(root))
            result << root;
    }
    std::sort(result.begin(), result.end());
    if (result.removeAll(QStringLiteral("/")) > 0)
        result.prepend(QStringLiteral("/"));
    return result;
}

QString drive_list_box::Drive() const {
    return currentText();
}

void drive_list_box::setDrive(const QString& path) {
    const QString drive = drive_of(drives(), path);
    if (findText(drive) < 0)
        addItem(drive);
    const int index = findText(drive);
    if (index == currentIndex())
        return;
    setCurrentIndex(index);
    emit Change();
}

dir_list_box::dir_list_box(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemActivated, this, &dir_list_box::open_item);
}

void dir_list_box::open_item(QListWidgetItem* item) {
    try {
        setPath(item->data(path_role).toString());
    } catch (const std::runtime_error&) {
        // An unreadable entry stays closed; the open directory does not change.
    }
}

void dir_list_box::setPath(const QString& path) {
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable() || !QDir(path).isReadable())
        throw std::runtime_error("cannot read " + path.toStdString());
    path_ = QDir::toNativeSeparators(info.absoluteFilePath());
    clear();
    // The open directory's ancestors, each one step further in, then its own sub-directories.
    QStringList chain;
    for (QDir d(info.absoluteFilePath());;) {
        chain.prepend(d.absolutePath());
        if (!d.cdUp())
            break;
    }
    for (int depth = 0; depth < chain.size(); ++depth) {
        const QString name = depth == 0 ? QDir::toNativeSeparators(chain[0]) : QFileInfo(chain[depth]).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(path_role, chain[depth]);
        if (depth + 1 == chain.size())
            setCurrentItem(item);
    }
    for (const QFileInfo& sub : visible_entries(info.absoluteFilePath(), QDir::Dirs)) {
        auto* item = new QListWidgetItem(QString(chain.size() * 2, QLatin1Char(' ')) + sub.fileName(), this);
        item->setData(path_role, sub.absoluteFilePath());
    }
    emit Change();
}

file_list_box::file_list_box(QWidget* parent) : QListWidget(parent) {}

void file_list_box::setPath(const QString& path) {
    clear();
    for (const QFileInfo& file : visible_entries(path, QDir::Files))
        addItem(file.fileName());
}

} // namespace forms
