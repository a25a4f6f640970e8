#pragma once
// Hooks that give the non-window code its windows: the platform message box
// (MsgBox) as a Qt message box, the system beep, and the screen's size, work
// area and colour depth. Install them once after the QApplication exists.
#include <QString>

namespace platform::ui {

// MsgBox and Beep through Qt.
void InstallQtMessageBox();
// GetScreenInfo from the primary screen.
void InstallQtScreenInfo();
// Both of the above.
void InstallQtPlatform();

// The Qt message box behind MsgBox, callable directly: the button set, icon
// and default button of `buttons` as MsgBox takes them; returns vbOK ... vbNo.
// A button set outside 0 to 5 shows an OK button.
int QtMessageBox(const QString& prompt, int buttons, const QString& title);

} // namespace platform::ui
