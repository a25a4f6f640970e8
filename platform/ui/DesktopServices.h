#pragma once
// Documents, folders, web and mail addresses are handed to the desktop's
// default handler. The handler can be replaced (tests record the addresses
// instead of starting a browser or a mail program).
#include <QUrl>

#include <functional>

namespace platform::ui {

using UrlOpener = std::function<bool(const QUrl& url)>;

// Installs the opener; an empty function goes back to the desktop's handler
// (QDesktopServices::openUrl). Returns the previous one.
UrlOpener SetUrlOpener(UrlOpener opener);

// True when the address was handed over.
bool OpenUrl(const QUrl& url);

// A text as the shell takes it: an address with a scheme ("http:", "mailto:",
// "file:") stays an address; anything else is a path of the local file
// system, made absolute against the current folder.
QUrl UrlFromShellText(const QString& text);

} // namespace platform::ui
