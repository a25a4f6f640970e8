#include "platform/MessageBox.h"

#include <mutex>

#include "platform/App.h"

namespace {

std::mutex& hookMutex() {
    static std::mutex m;
    return m;
}
MessageBoxHandler& messageBoxHandler() {
    static MessageBoxHandler h;
    return h;
}
BeepHandler& beepHandler() {
    static BeepHandler h;
    return h;
}

} // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard lock(hookMutex());
    MessageBoxHandler old = std::move(messageBoxHandler());
    messageBoxHandler() = std::move(handler);
    return old;
}

int DefaultButtonResult(int buttons) {
    static const int sets[6][3] = {
        {vbOK, 0, 0},
        {vbOK, vbCancel, 0},
        {vbAbort, vbRetry, vbIgnore},
        {vbYes, vbNo, vbCancel},
        {vbYes, vbNo, 0},
        {vbRetry, vbCancel, 0},
    };
    int set = buttons & vbButtonSetMask;
    if (set > 5) set = 0;
    int index = (buttons & vbDefaultButtonMask) >> 8;
    if (index > 2 || sets[set][index] == 0) index = 0;
    return sets[set][index];
}

int MsgBox(const std::string& prompt, int buttons, const std::string& title) {
    MessageBoxHandler handler;
    {
        std::lock_guard lock(hookMutex());
        handler = messageBoxHandler();
    }
    if (!handler) return DefaultButtonResult(buttons);
    return handler(prompt, buttons, title.empty() ? platform::App::Title() : title);
}

BeepHandler SetBeepHandler(BeepHandler handler) {
    std::lock_guard lock(hookMutex());
    BeepHandler old = std::move(beepHandler());
    beepHandler() = std::move(handler);
    return old;
}

void Beep() {
    BeepHandler handler;
    {
        std::lock_guard lock(hookMutex());
        handler = beepHandler();
    }
    if (handler) handler();
}
