#pragma once
// The help engine. The help file is a document (an HTML file, or a folder of
// HTML pages) opened with the desktop's default handler; the commands are the
// ones the program's help calls were written with.
//
// How a command finds its page:
//   - help file is a folder: contents, finder and searches open
//     "<folder>/index.html"; a context id n opens "<folder>/<n>.html" when it
//     exists, else the index;
//   - help file is a file: contents, finder and searches open the file; a
//     context id n opens it at the anchor "#topic<n>".
// Quitting the help, help on help and macros have nothing to open.
#include <QString>
#include <QUrl>
#include <QVariant>

#include <functional>

namespace platform::ui {

constexpr unsigned HELP_CONTEXT = 0x0001;
constexpr unsigned HELP_QUIT = 0x0002;
constexpr unsigned HELP_CONTENTS = 0x0003;
constexpr unsigned HELP_HELPONHELP = 0x0004;
constexpr unsigned HELP_FINDER = 0x000B;
constexpr unsigned HELP_KEY = 0x0101;
constexpr unsigned HELP_COMMAND = 0x0102;
constexpr unsigned HELP_PARTIALKEY = 0x0105;

// The page a help command opens; empty when there is nothing to open.
QUrl HelpUrl(const QString& helpFile, unsigned command, const QVariant& data);

// Carries out one help command. Returns True when a page was handed to the
// desktop (or the command needs none).
using HelpHandler = std::function<bool(const QString& helpFile, unsigned command, const QVariant& data)>;
bool WinHelp(const QString& helpFile, unsigned command, const QVariant& data);

// Replaces the help engine (an empty function goes back to the default one
// described above). Returns the previous one.
HelpHandler SetHelpHandler(HelpHandler handler);

// The application's help (platform::App::HelpFile) at a topic, as F1 on a
// window with that help topic opens it; 0 opens the contents.
bool ShowApplicationHelp(int contextId = 0);

} // namespace platform::ui
