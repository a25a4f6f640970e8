#pragma once
// The platform message box, behind a replaceable handler.
//
// The non-window code (error handler, settings, system information, the
// engine) shows its messages through MsgBox. The desktop application installs
// a handler that draws a real window; tests install one that records what was
// asked. With no handler installed nothing is shown and the result is the one
// of the default button of the button set.
#include <functional>
#include <string>

// Button sets.
constexpr int vbOKOnly = 0;
constexpr int vbOKCancel = 1;
constexpr int vbAbortRetryIgnore = 2;
constexpr int vbYesNoCancel = 3;
constexpr int vbYesNo = 4;
constexpr int vbRetryCancel = 5;
// Icons.
constexpr int vbCritical = 16;
constexpr int vbQuestion = 32;
constexpr int vbExclamation = 48;
constexpr int vbInformation = 64;
// Default button.
constexpr int vbDefaultButton1 = 0;
constexpr int vbDefaultButton2 = 256;
constexpr int vbDefaultButton3 = 512;
// Results.
constexpr int vbOK = 1;
constexpr int vbCancel = 2;
constexpr int vbAbort = 3;
constexpr int vbRetry = 4;
constexpr int vbIgnore = 5;
constexpr int vbYes = 6;
constexpr int vbNo = 7;

// Masks to take a buttons value apart.
constexpr int vbButtonSetMask = 7;
constexpr int vbIconMask = 0x70;
constexpr int vbDefaultButtonMask = 0x300;

// prompt, buttons (set + icon + default button), title; returns a result code.
using MessageBoxHandler = std::function<int(const std::string& prompt, int buttons, const std::string& title)>;

// Installs the handler; an empty function removes it. Returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// Shows a message. An empty title becomes the application's title.
int MsgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = {});

// The result code of the default button of a buttons value (what Enter would
// press): vbOK for vbOKOnly, vbYes for vbYesNo | vbDefaultButton1, vbNo for
// vbYesNo | vbDefaultButton2, ... A default-button flag past the last button
// of the set falls back to the first button.
int DefaultButtonResult(int buttons);

// The system beep, behind its own handler (none installed: silent).
using BeepHandler = std::function<void()>;
BeepHandler SetBeepHandler(BeepHandler handler);
void Beep();
