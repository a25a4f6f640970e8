#pragma once
// The application's help: HTML pages, one per help topic ("<topic>.html"
// and "index.html" for the contents), in the folder "help" beside the
// program. A window names its topic in the property "HelpContextID"; F1, its
// Help button and the Help menu open the page through the desktop's browser.
#include <QString>

class QWidget;

// The help folder: "help" in the application folder, or the copy the build
// made when the application folder has none (a program run from elsewhere).
QString HelpLocation();
// The read-me file the error dialog offers, found the same way.
QString ReadmeLocation();

// The topic of the window (its own "HelpContextID", else its parent's); 0
// when none names one.
int HelpTopicOf(const QWidget* window);
// Opens the page of the topic (0: the contents). A missing page is reported
// in a message; the result is True when a page was handed to the browser.
bool ShowHelpTopic(int topic);
// Gives a dialog its topic and an F1 key of its own that opens it. For
// dialogs shown modally (the frame's F1 does not reach them).
void InstallHelpKey(QWidget* dialog, int topic);
