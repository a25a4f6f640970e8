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

} // namespace platform::ui
