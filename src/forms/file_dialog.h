#pragma once
// CommonDialog1 on QFileDialog. Tests may answer the next ShowOpen instead of a user.

#include "convert/common_dialog.h"

#include <QStringList>

#include <deque>

class QWidget;

namespace forms {

class file_dialog : public mod_convert::common_dialog {
public:
    explicit file_dialog(QWidget* parent = nullptr);
    void ShowOpen() override;

    // The next ShowOpen without an answer yet picks these files (none: the user cancels) without
    // showing anything.
    static void set_next_answer(const QStringList& files);
    static void clear_next_answer();

    // "desc|pattern|desc|pattern" as QFileDialog name filters; "*.*" shows every file, dotless ones too.
    static QStringList name_filters(const std::string& filter);
    // What FileName holds for these picked files: the folder, then the names, or full paths when
    // they come from several folders.
    static std::string selection_text(const QStringList& files);

private:
    QWidget* parent_;
    static std::deque<QStringList> next_answers_;
};

} // namespace forms
