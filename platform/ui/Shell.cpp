#include "platform/ui/Shell.h"

#include "platform/Process.h"
#include "platform/ui/DesktopServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/types.h>

namespace platform::ui {

namespace {

bool IsAddress(const QString& file) {
    const QUrl url = UrlFromShellText(file);
    return url.isValid() && !url.isLocalFile();
}

QString Resolve(const QString& file, const QString& folder) {
    QFileInfo info(file);
    if (info.isRelative() && !folder.isEmpty())
        info = QFileInfo(QDir(folder), file);
    return info.absoluteFilePath();
}

ShellLaunch Accepted(qint64 pid = 0) {
    return ShellLaunch{SE_OK, pid};
}

ShellLaunch Failed(long code) {
    return ShellLaunch{code, 0};
}

ShellLaunch StartProgram(const QString& program, const QString& parameters, const QString& folder) {
    qint64 pid = 0;
    if (!QProcess::startDetached(program, QProcess::splitCommand(parameters), folder, &pid))
        return Failed(SE_ERR_FNF);
    return Accepted(pid);
}

ShellLaunch Open(const QString& file, const QString& parameters, const QString& folder) {
    if (IsAddress(file))
        return OpenUrl(UrlFromShellText(file)) ? Accepted() : Failed(SE_ERR_NOASSOC);

    // A bare program name is looked up on the search path.
    if (!file.contains(QLatin1Char('/')) && !QFileInfo::exists(Resolve(file, folder))) {
        const QString found = QStandardPaths::findExecutable(file);
        if (found.isEmpty())
            return Failed(SE_ERR_FNF);
        return StartProgram(found, parameters, folder);
    }

    const QFileInfo info(Resolve(file, folder));
    if (!info.exists())
        return Failed(info.dir().exists() ? SE_ERR_FNF : SE_ERR_PNF);
    if (info.isFile() && info.isExecutable())
        return StartProgram(info.absoluteFilePath(), parameters, folder);
    return OpenUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? Accepted() : Failed(SE_ERR_NOASSOC);
}

// A "file:" address names a file or folder of this computer: its path.
QString LocalPathOf(const QString& file) {
    if (!file.trimmed().startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return file;
    const QUrl url = UrlFromShellText(file);
    return url.isLocalFile() ? url.toLocalFile() : file;
}

} // namespace

ShellLaunch ShellExecute(const QString& verb, const QString& fileOrAddress, const QString& parameters,
                         const QString& folder, int /*showCmd*/) {
    const QString file = LocalPathOf(fileOrAddress);
    if (file.trimmed().isEmpty())
        return Failed(SE_ERR_FNF);
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        return Failed(SE_ERR_PNF);

    const QString v = verb.toLower();
    if (v.isEmpty() || v == QLatin1String("open"))
        return Open(file, parameters, folder);

    if (v == QLatin1String("explore")) {
        const QFileInfo info(Resolve(file, folder));
        if (!info.isDir())
            return Failed(info.exists() ? SE_ERR_NOASSOC : SE_ERR_FNF);
        return OpenUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? Accepted() : Failed(SE_ERR_NOASSOC);
    }

    if (v == QLatin1String("print")) {
        const QFileInfo info(Resolve(file, folder));
        if (!info.isFile())
            return Failed(info.exists() ? SE_ERR_NOASSOC : SE_ERR_FNF);
        const QString lp = QStandardPaths::findExecutable(QStringLiteral("lp"));
        if (lp.isEmpty())
            return Failed(SE_ERR_NOASSOC);
        qint64 pid = 0;
        if (!QProcess::startDetached(lp, {info.absoluteFilePath()}, folder, &pid))
            return Failed(SE_ERR_NOASSOC);
        return Accepted();
    }

    return Failed(SE_ERR_NOASSOC);
}

bool ProcessStillActive(qint64 processId) {
    if (processId <= 0)
        return false;
    if (!platform::ProcessExists(static_cast<pid_t>(processId)))
        return false;
    // A detached program that has ended may linger as a zombie until its new
    // parent collects it: it is no longer running.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(processId));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        const qsizetype close = line.lastIndexOf(')');
        if (close >= 0 && close + 2 < line.size()) {
            const char state = line.at(close + 2);
            if (state == 'Z' || state == 'X')
                return false;
        }
    }
    return true;
}

} // namespace platform::ui
