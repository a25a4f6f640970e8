#include "util/ui/QWidgetFormGeometry.h"

#include "errors/RunTimeError.h"
#include "platform/ui/Twips.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

using platform::ui::PixelsFromTwips;
using platform::ui::TwipsFromPixels;

namespace {

constexpr const char* kNormalGeometry = "varnelloNormalGeometry";
constexpr const char* kFollowerName = "NormalGeometryFollower";

// Keeps the window's geometry in a property while it is neither minimized
// nor maximized. Qt changes the state before the geometry when it maximizes
// a window; but a maximized window of the frame's document area reads as
// normal for a moment while the area resizes it to its whole room, so a
// window inside another that fills it exactly is not taken for normal.
class NormalGeometryFollower : public QObject {
public:
    explicit NormalGeometryFollower(QWidget* window) : QObject(window) {
        setObjectName(QString::fromLatin1(kFollowerName));
        Take(window);
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            Take(static_cast<QWidget*>(watched));
        return false;
    }

private:
    static void Take(QWidget* w) {
        if (w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            return;
        if (!w->isWindow() && w->parentWidget() && w->geometry() == w->parentWidget()->rect())
            return;
        w->setProperty(kNormalGeometry, w->geometry());
    }
};

} // namespace

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

// The window's own area without the window manager's frame, read and
// written alike: the frame's size is known only once the window manager has
// framed the window, and a window restored before that would grow and creep
// by the frame at each start if the frame were counted on one side only.
double QWidgetFormGeometry::Left() const {
    return TwipsFromPixels(Window()->geometry().x());
}

double QWidgetFormGeometry::Top() const {
    return TwipsFromPixels(Window()->geometry().y());
}

double QWidgetFormGeometry::Width() const {
    return TwipsFromPixels(Window()->geometry().width());
}

double QWidgetFormGeometry::Height() const {
    return TwipsFromPixels(Window()->geometry().height());
}

void QWidgetFormGeometry::SetLeft(double twips) {
    QWidget* w = Window();
    QRect g = w->geometry();
    g.moveLeft(PixelsFromTwips(twips));
    w->setGeometry(g);
}

void QWidgetFormGeometry::SetTop(double twips) {
    QWidget* w = Window();
    QRect g = w->geometry();
    g.moveTop(PixelsFromTwips(twips));
    w->setGeometry(g);
}

namespace {

// A window has no negative width or height: such a size is refused, as a
// form's property refuses it, rather than taken for none (a window restored
// from it came up at its least size, a title bar and a menu).
void CheckSize(double twips) {
    if (twips < 0)
        throw RunTimeError(380, "Invalid property value");
}

} // namespace

void QWidgetFormGeometry::SetWidth(double twips) {
    CheckSize(twips);
    QWidget* w = Window();
    w->resize(std::max(0, PixelsFromTwips(twips)), w->height());
}

void QWidgetFormGeometry::SetHeight(double twips) {
    CheckSize(twips);
    QWidget* w = Window();
    w->resize(w->width(), std::max(0, PixelsFromTwips(twips)));
}

void QWidgetFormGeometry::KeepOnVisibleScreen(QWidget* window) {
    if (!window || !window->isWindow() || (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen |
                                                                    Qt::WindowMinimized)))
        return;
    QRect client = window->geometry();
    // A window not shown yet grows to its layout's least size when it is:
    // placed at the size it is below that, it would stand past the edge.
    client.setSize(client.size().expandedTo(window->minimumSize()).expandedTo(window->minimumSizeHint()));
    QScreen* screen = QGuiApplication::screenAt(client.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The frame as the window manager draws it, or as most draw it while
    // the window is not framed yet: a title bar and thin borders.
    QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                   window->geometry().top() - window->frameGeometry().top(),
                   window->frameGeometry().right() - window->geometry().right(),
                   window->frameGeometry().bottom() - window->geometry().bottom());
    if (frame.isNull())
        frame = QMargins(AssumedBorder, AssumedTitleBar, AssumedBorder, AssumedBorder);
    const QRect room = area.marginsRemoved(frame);
    client.setWidth(std::min(client.width(), room.width()));
    client.setHeight(std::min(client.height(), room.height()));
    if (client.right() > room.right())
        client.moveRight(room.right());
    if (client.bottom() > room.bottom())
        client.moveBottom(room.bottom());
    if (client.left() < room.left())
        client.moveLeft(room.left());
    if (client.top() < room.top())
        client.moveTop(room.top());
    if (client != window->geometry())
        window->setGeometry(client);
}

void QWidgetFormGeometry::TrackNormalGeometry(QWidget* window) {
    if (window && !window->findChild<QObject*>(QString::fromLatin1(kFollowerName), Qt::FindDirectChildrenOnly))
        new NormalGeometryFollower(window);
}

QRect QWidgetFormGeometry::NormalGeometryOf(const QWidget* window) {
    if (!window)
        return {};
    const bool away = window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (!away)
        return window->geometry();
    if (window->isWindow() && window->normalGeometry().isValid())
        return window->normalGeometry();
    const QRect followed = window->property(kNormalGeometry).toRect();
    return followed.isValid() ? followed : window->geometry();
}

double QWidgetFormGeometry::NormalLeft() const {
    return TwipsFromPixels(NormalGeometryOf(Window()).x());
}

double QWidgetFormGeometry::NormalTop() const {
    return TwipsFromPixels(NormalGeometryOf(Window()).y());
}

double QWidgetFormGeometry::NormalWidth() const {
    return TwipsFromPixels(NormalGeometryOf(Window()).width());
}

double QWidgetFormGeometry::NormalHeight() const {
    return TwipsFromPixels(NormalGeometryOf(Window()).height());
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
