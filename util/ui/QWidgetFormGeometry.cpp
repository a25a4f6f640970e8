#include "util/ui/QWidgetFormGeometry.h"

#include "errors/RunTimeError.h"
#include "platform/ui/Twips.h"

#include <algorithm>

using platform::ui::PixelsFromTwips;
using platform::ui::TwipsFromPixels;

QWidgetFormGeometry::QWidgetFormGeometry(QWidget* window) : m_window(window) {}

QWidget* QWidgetFormGeometry::Window() const {
    if (!m_window)
        throw RunTimeError(rterr::ObjectNotSet);
    return m_window;
}

std::string QWidgetFormGeometry::Name() const {
    const QWidget* w = Window();
    if (!w->objectName().isEmpty())
        return w->objectName().toStdString();
    return w->metaObject()->className();
}

double QWidgetFormGeometry::Left() const {
    return TwipsFromPixels(Window()->frameGeometry().x());
}

double QWidgetFormGeometry::Top() const {
    return TwipsFromPixels(Window()->frameGeometry().y());
}

double QWidgetFormGeometry::Width() const {
    return TwipsFromPixels(Window()->frameGeometry().width());
}

double QWidgetFormGeometry::Height() const {
    return TwipsFromPixels(Window()->frameGeometry().height());
}

void QWidgetFormGeometry::SetLeft(double twips) {
    QWidget* w = Window();
    w->move(PixelsFromTwips(twips), w->frameGeometry().y());
}

void QWidgetFormGeometry::SetTop(double twips) {
    QWidget* w = Window();
    w->move(w->frameGeometry().x(), PixelsFromTwips(twips));
}

void QWidgetFormGeometry::SetWidth(double twips) {
    QWidget* w = Window();
    const int border = w->frameGeometry().width() - w->width();
    w->resize(std::max(0, PixelsFromTwips(twips) - border), w->height());
}

void QWidgetFormGeometry::SetHeight(double twips) {
    QWidget* w = Window();
    const int border = w->frameGeometry().height() - w->height();
    w->resize(w->width(), std::max(0, PixelsFromTwips(twips) - border));
}

int QWidgetFormGeometry::WindowState() const {
    const Qt::WindowStates state = Window()->windowState();
    if (state & Qt::WindowMinimized)
        return vbMinimized;
    if (state & Qt::WindowMaximized)
        return vbMaximized;
    return vbNormal;
}

void QWidgetFormGeometry::SetWindowState(int state) {
    QWidget* w = Window();
    Qt::WindowStates s = w->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == vbMinimized)
        s |= Qt::WindowMinimized;
    else if (state == vbMaximized)
        s |= Qt::WindowMaximized;
    w->setWindowState(s);
}
