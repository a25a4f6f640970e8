#include "platform/ui/Help.h"

#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/ui/DesktopServices.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace platform::ui {

namespace {

HelpHandler& Handler() {
    static HelpHandler handler;
    return handler;
}

bool DefaultWinHelp(const QString& helpFile, unsigned command, const QVariant& data) {
    if (command == HELP_QUIT || command == HELP_HELPONHELP || command == HELP_COMMAND)
        return true;
    // A page that is not there is said so, rather than handing the browser
    // an address that shows nothing.
    const QFileInfo info(helpFile);
    QString missing;
    if (helpFile.isEmpty()) {
        missing = QStringLiteral("No help file has been named.");
    } else if (info.isDir() && command == HELP_CONTEXT && data.toLongLong() != 0) {
        const QString page = QDir(info.absoluteFilePath()).filePath(QString::number(data.toLongLong()) + QStringLiteral(".html"));
        if (!QFileInfo::exists(page))
            missing = QStringLiteral("The help page for topic %1 cannot be found:\n%2").arg(data.toLongLong()).arg(page);
    }
    const QUrl url = HelpUrl(helpFile, command, data);
    if (missing.isEmpty() && url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        missing = QStringLiteral("The help cannot be found:\n%1").arg(url.toLocalFile());
    if (!missing.isEmpty()) {
        MsgBox(missing.toStdString(), vbOKOnly | vbExclamation, platform::App::Title());
        return false;
    }
    if (url.isEmpty())
        return false;
    if (!OpenUrl(url)) {
        // Nothing on this computer shows web pages (no browser, no desktop
        // handler): the user can still open the file himself.
        const QString page = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
        MsgBox(QStringLiteral("The help cannot be shown: no web browser or other program that shows web pages "
                              "was found on this computer.\n\nThe help page is the file:\n%1")
                   .arg(page)
                   .toStdString(),
               vbOKOnly | vbExclamation, platform::App::Title());
        return false;
    }
    return true;
}

} // namespace

QUrl HelpUrl(const QString& helpFile, unsigned command, const QVariant& data) {
    if (helpFile.isEmpty())
        return {};
    switch (command) {
    case HELP_CONTEXT:
    case HELP_CONTENTS:
    case HELP_FINDER:
    case HELP_KEY:
    case HELP_PARTIALKEY:
        break;
    default:
        return {};
    }
    const QFileInfo info(helpFile);
    const bool context = command == HELP_CONTEXT && data.toLongLong() != 0;
    if (info.isDir()) {
        const QDir dir(info.absoluteFilePath());
        if (context) {
            const QString page = dir.filePath(QString::number(data.toLongLong()) + QStringLiteral(".html"));
            if (QFileInfo::exists(page))
                return QUrl::fromLocalFile(page);
        }
        return QUrl::fromLocalFile(dir.filePath(QStringLiteral("index.html")));
    }
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    if (context)
        url.setFragment(QStringLiteral("topic") + QString::number(data.toLongLong()));
    return url;
}

bool WinHelp(const QString& helpFile, unsigned command, const QVariant& data) {
    if (Handler())
        return Handler()(helpFile, command, data);
    return DefaultWinHelp(helpFile, command, data);
}

HelpHandler SetHelpHandler(HelpHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

bool ShowApplicationHelp(int contextId) {
    const QString file = QString::fromStdString(platform::App::HelpFile());
    if (contextId != 0)
        return WinHelp(file, HELP_CONTEXT, contextId);
    return WinHelp(file, HELP_CONTENTS, 0);
}

} // namespace platform::ui
