#include "platform/ui/CenterForm.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace platform::ui {

void CenterForm(QWidget* form) {
    if (!form)
        return;
    QScreen* screen = form->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QRect frame = form->frameGeometry();
    const double top = (area.height() - frame.height()) / 2.0;
    const double left = (area.width() - frame.width()) / 2.0;
    form->move(area.left() + static_cast<int>(std::lround(left)), area.top() + static_cast<int>(std::lround(top)));
}

void CenterOnOwner(QWidget* form) {
    if (!form)
        return;
    const QWidget* owner = form->parentWidget() ? form->parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible()) {
        CenterForm(form);
        return;
    }
    const QRect around = owner->frameGeometry();
    // The form's frame, as the window manager draws it once shown; move()
    // places a window by its frame.
    const QRect outer = form->frameGeometry();
    QRect target(QPoint(0, 0), outer.size());
    target.moveCenter(around.center());
    QScreen* screen = owner->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        if (target.right() > area.right())
            target.moveRight(area.right());
        if (target.bottom() > area.bottom())
            target.moveBottom(area.bottom());
        if (target.left() < area.left())
            target.moveLeft(area.left());
        if (target.top() < area.top())
            target.moveTop(area.top());
    }
    form->move(target.topLeft());
}

} // namespace platform::ui
