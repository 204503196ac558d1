#pragma once
// Application-level helpers on Qt: the version tag, closing the other windows, and the bridge
// between Qt strings and the engine's byte strings.

#include <QFont>
#include <QIcon>
#include <QString>

#include <string>

class QWidget;

namespace forms {

QString version_string();
QString version_string(int major, int minor, int revision);

// Tells the engine where the program lies (converters, job files, the log), what it is called (the
// log's name), and where the job files go when the program's folder is read-only.
void tell_engine_where_it_lies(const QString& program_file);

// Closes every other open window, newest first, running its own closing handlers.
void unload_other_forms(QWidget* frm);

// The engine's strings are UTF-8 on every platform; a name that is not valid UTF-8 (possible on
// Linux) shows with replacement characters.
std::string to_core(const QString& s);
QString from_core(const std::string& s);

// The organiser icon, for every window.
QIcon kivo_icon();

// The small sans font every form uses.
QFont form_font(qreal point_size = 8);

// The compact classic style the forms were laid out for.
void use_classic_style();

} // namespace forms
