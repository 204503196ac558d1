#include "forms/file_dialog.h"

#include "forms/app_helpers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace forms {

std::deque<QStringList> file_dialog::next_answers_;

file_dialog::file_dialog(QWidget* parent) : parent_(parent) {}

void file_dialog::set_next_answer(const QStringList& files) {
    next_answers_.push_back(files);
}
void file_dialog::clear_next_answer() {
    next_answers_.clear();
}

QStringList file_dialog::name_filters(const std::string& filter) {
    const QStringList parts = from_core(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = (p.trimmed() == QLatin1String("*.*")) ? QStringLiteral("*") : p.trimmed();
        // The description is shown alone (HideNameFilterDetails); the patterns follow in parentheses.
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::string file_dialog::selection_text(const QStringList& files) {
    if (files.size() == 1)
        return to_core(QDir::toNativeSeparators(files.front()));
    const QString folder = QFileInfo(files.front()).absolutePath();
    bool one_folder = true;
    for (const QString& file : files)
        one_folder = one_folder && QFileInfo(file).absolutePath() == folder;
    // Files from several folders (a search or "Recent" view) are given as full paths.
    std::string text = to_core(QDir::toNativeSeparators(folder));
    for (const QString& file : files)
        text += '\0' + to_core(one_folder ? QFileInfo(file).fileName() : QDir::toNativeSeparators(file));
    return text;
}

void file_dialog::ShowOpen() {
    QStringList picked;
    if (!next_answers_.empty()) {
        picked = next_answers_.front();
        next_answers_.pop_front();
    } else {
        QFileDialog dialog(parent_, from_core(DialogTitle));
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFileMode((Flags & mod_convert::OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles
                                                                       : QFileDialog::AnyFile);
        const QStringList filters = name_filters(Filter);
        dialog.setNameFilters(filters);
        if (FilterIndex >= 1 && FilterIndex <= filters.size())
            dialog.selectNameFilter(filters[FilterIndex - 1]);
        if (dialog.exec() == QDialog::Accepted)
            picked = dialog.selectedFiles();
    }
    if (!picked.isEmpty())
        FileName = selection_text(picked);
}

} // namespace forms
