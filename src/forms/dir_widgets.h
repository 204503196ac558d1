#pragma once
// The directory picker's three lists: drives (mounted volumes on POSIX), the directory tree of the
// open directory, and the files in it.

#include <QComboBox>
#include <QListWidget>

#include <stdexcept>

namespace forms {

class drive_list_box : public QComboBox {
    Q_OBJECT
public:
    explicit drive_list_box(QWidget* parent = nullptr);
    QString Drive() const;
    // Selects the drive that holds `path`; Change follows when the drive differs.
    void setDrive(const QString& path);
    static QStringList drives();

signals:
    void Change();
};

class dir_list_box : public QListWidget {
    Q_OBJECT
public:
    explicit dir_list_box(QWidget* parent = nullptr);
    // The open directory: the one the user opened, not a highlighted one.
    QString Path() const { return path_; }
    // Raises std::runtime_error for a directory that cannot be read.
    void setPath(const QString& path);

signals:
    void Change();

private:
    void open_item(QListWidgetItem* item);
    QString path_;
};

class file_list_box : public QListWidget {
    Q_OBJECT
public:
    explicit file_list_box(QWidget* parent = nullptr);
    void setPath(const QString& path); // shows the visible files of that directory
};

} // namespace forms
