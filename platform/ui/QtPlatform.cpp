#include "platform/ui/QtPlatform.h"

#include "platform/App.h"
#include "platform/MessageBox.h"
#include "platform/Screen.h"

#include <QApplication>
#include <QMainWindow>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <vector>

namespace platform::ui {

namespace {

struct Choice {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<Choice> ButtonsOfSet(int set) {
    switch (set) {
    case vbOKCancel: return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case vbAbortRetryIgnore:
        return {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
    case vbYesNoCancel: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case vbYesNo: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    case vbRetryCancel: return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
    default: return {{QMessageBox::Ok, vbOK}}; // vbOKOnly, and any set without buttons
    }
}

QMessageBox::Icon IconOf(int buttons) {
    switch (buttons & vbIconMask) {
    case vbCritical: return QMessageBox::Critical;
    case vbQuestion: return QMessageBox::Question;
    case vbExclamation: return QMessageBox::Warning;
    case vbInformation: return QMessageBox::Information;
    default:
        // None named: the icon of the kind, a question where the box asks
        // one, a warning otherwise.
        switch (buttons & vbButtonSetMask) {
        case vbYesNo:
        case vbYesNoCancel: return QMessageBox::Question;
        default: return QMessageBox::Warning;
        }
    }
}

// The window a box belongs to: the active modal dialog or window, else the
// application's main window (the first shown window with a menu bar), else
// any shown window. Null only when nothing is shown.
QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    QWidget* any = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top->isMinimized())
            continue;
        if (qobject_cast<QMainWindow*>(top))
            return top;
        if (!any)
            any = top;
    }
    return any;
}

} // namespace

int QtMessageBox(const QString& prompt, int buttons, const QString& title) {
    const std::vector<Choice> choices = ButtonsOfSet(buttons & vbButtonSetMask);
    QMessageBox box(IconOf(buttons), title.isEmpty() ? QString::fromStdString(platform::App::Title()) : title,
                    prompt, QMessageBox::NoButton, OwnerWindow());
    // Messages carry names and texts from the user's data: shown as they
    // stand, never read as HTML.
    box.setTextFormat(Qt::PlainText);
    // A message box is neither minimized nor maximized nor resized: its
    // frame offers the close button only.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    for (const Choice& c : choices)
        box.addButton(c.button);
    std::size_t def = static_cast<std::size_t>((buttons & vbDefaultButtonMask) >> 8);
    if (def >= choices.size())
        def = 0;
    box.setDefaultButton(choices[def].button);
    // Escape answers Cancel when there is one, OK when it is the only button.
    for (const Choice& c : choices)
        if (c.result == vbCancel)
            box.setEscapeButton(c.button);
    if (choices.size() == 1)
        box.setEscapeButton(choices.front().button);

    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    for (const Choice& c : choices)
        if (clicked && box.button(c.button) == clicked)
            return c.result;
    for (const Choice& c : choices)
        if (c.result == vbCancel)
            return vbCancel;
    return choices.front().result;
}

void InstallQtMessageBox() {
    SetMessageBoxHandler([](const std::string& prompt, int buttons, const std::string& title) {
        return QtMessageBox(QString::fromStdString(prompt), buttons, QString::fromStdString(title));
    });
    SetBeepHandler([] { QApplication::beep(); });
}

void InstallQtScreenInfo() {
    platform::SetScreenInfoProvider([]() {
        platform::ScreenInfo info;
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen)
            return info;
        const QRect all = screen->geometry();
        const QRect work = screen->availableGeometry();
        info.width = all.width();
        info.height = all.height();
        info.workLeft = work.left();
        info.workTop = work.top();
        info.workWidth = work.width();
        info.workHeight = work.height();
        info.bitsPerPixel = screen->depth();
        info.planes = 1;
        info.logPixelsX = qRound(screen->logicalDotsPerInchX());
        return info;
    });
}

void InstallQtPlatform() {
    InstallQtMessageBox();
    InstallQtScreenInfo();
}

} // namespace platform::ui
