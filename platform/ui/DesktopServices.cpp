#include "platform/ui/DesktopServices.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace platform::ui {

namespace {

UrlOpener& Opener() {
    static UrlOpener opener;
    return opener;
}

bool HasScheme(const QString& text) {
    // "C:\x" and "/x" are paths; a scheme is two or more letters before ':'.
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 2)
        return false;
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = text.at(i);
        if (!(c.isLetterOrNumber() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('.')))
            return false;
    }
    return text.at(0).isLetter();
}

} // namespace

UrlOpener SetUrlOpener(UrlOpener opener) {
    return std::exchange(Opener(), std::move(opener));
}

bool OpenUrl(const QUrl& url) {
    if (!url.isValid() || url.isEmpty())
        return false;
    if (Opener())
        return Opener()(url);
    return QDesktopServices::openUrl(url);
}

QUrl UrlFromShellText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (HasScheme(t))
        return QUrl(t, QUrl::TolerantMode);
    return QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath());
}

} // namespace platform::ui
