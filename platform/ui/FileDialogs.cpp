#include "platform/ui/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace platform::ui {

QStringList NameFiltersFromBarFilter(const QString& filter) {
    QStringList result;
    if (filter.isEmpty())
        return result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QString pattern = i + 1 < parts.size() ? parts.at(i + 1).trimmed() : QString();
        if (description.isEmpty() && pattern.isEmpty())
            continue;
        if (pattern.isEmpty())
            pattern = QStringLiteral("*");
        QStringList patterns = pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        const QString list = patterns.join(QLatin1Char(' '));
        const QString bracketed = QStringLiteral("(") + list + QStringLiteral(")");
        if (description.isEmpty())
            result << list + QLatin1Char(' ') + bracketed;
        else if (description.endsWith(bracketed) || description.endsWith(QStringLiteral("(") + pattern + QStringLiteral(")")))
            result << description.left(description.lastIndexOf(QLatin1Char('('))) + bracketed;
        else
            result << description + QLatin1Char(' ') + bracketed;
    }
    return result;
}

std::optional<QString> RunFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(request.parent, request.title);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(request.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    if (request.open)
        dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    else
        dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.open && !(request.flags & OFN_OVERWRITEPROMPT))
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!request.defaultExt.isEmpty())
        dialog.setDefaultSuffix(request.defaultExt);

    if (!request.nameFilters.isEmpty()) {
        dialog.setNameFilters(request.nameFilters);
        const int index = request.filterIndex > 0 ? request.filterIndex - 1 : 0;
        if (index < request.nameFilters.size())
            dialog.selectNameFilter(request.nameFilters.at(index));
    }

    QString dir = request.initialDir;
    QString file = request.fileName;
    if (!file.isEmpty()) {
        const QFileInfo info(file);
        if (!info.path().isEmpty() && info.path() != QLatin1String(".")) {
            if (dir.isEmpty() || info.isAbsolute())
                dir = info.path();
            file = info.fileName();
        }
    }
    if (!dir.isEmpty() && QFileInfo(dir).isDir())
        dialog.setDirectory(dir);
    if (!file.isEmpty())
        dialog.selectFile(file);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen.first());
}

} // namespace platform::ui
