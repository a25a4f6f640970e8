#pragma once
// What the designer's windows need of their surroundings, behind replaceable
// hooks so that tests can drive the designer without nested event loops:
//
// - ShowModal: shows a page or dialog modally and returns when it is hidden.
//   By default the dialog's own modal loop; a test installs a function that
//   works the dialog's controls and presses one of its buttons.
// - WizMessage: the message form, captioned with the application title, with
//   a beep and without a Help button; style 0 (OK) or 4 (Yes and No, No the
//   default answer: Enter answers No); returns the button pressed (6 = Yes).
//   A test installs an answerer.
// - SendHelpKey: F1 on a window (the application's help at its topic).
#include <QString>

#include <functional>

class QDialog;
class QWidget;

namespace wizsvc {

using ModalShower = std::function<void(QDialog& dialog)>;
// Installs the shower (an empty function restores the default); returns the previous one.
ModalShower SetModalShower(ModalShower shower);
void ShowModal(QDialog& dialog);

using MessageHandler = std::function<int(const QString& message, int style)>;
MessageHandler SetMessageHandler(MessageHandler handler);
int WizMessage(QWidget* parent, const QString& message, int style = 0);

void SendHelpKey(QWidget* window, int helpTopic = 0);

} // namespace wizsvc
