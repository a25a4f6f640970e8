#include "app/MdiWindows.h"

#include "app/frmStatMain.h"
#include "platform/ui/Twips.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>

#include <algorithm>

using platform::ui::PixelsFromTwips;

namespace mdiwindows {

namespace {

// A grid: a header, a few rows and two or three columns.
constexpr int kGridMinimumWidth = 320;
constexpr int kGridMinimumHeight = 180;

QRect AreaRect(const QMdiArea* area) {
    return area->viewport()->rect();
}

} // namespace

QSize UsableMinimum(const QWidget* form) {
    if (qobject_cast<const frmStatMain*>(form)) {
        // Six buttons with their gaps; the list's own minimum height.
        const int width = 6 * (frmStatMain::ButtonWidth + 60) + 60;
        return {PixelsFromTwips(width), PixelsFromTwips(frmStatMain::MinimumHeight)};
    }
    return {kGridMinimumWidth, kGridMinimumHeight};
}

bool IsUsableSize(const QWidget* form, const QSize& size) {
    const QSize minimum = UsableMinimum(form);
    return size.width() >= minimum.width() && size.height() >= minimum.height();
}

void PlaceInside(QMdiArea* area, QMdiSubWindow* window) {
    if (!area || !window || window->isMaximized() || window->isMinimized())
        return;
    const QRect visible = AreaRect(area);
    QRect g = window->geometry();
    g.setWidth(std::min(g.width(), visible.width()));
    g.setHeight(std::min(g.height(), visible.height()));
    if (g.right() > visible.right())
        g.moveRight(visible.right());
    if (g.bottom() > visible.bottom())
        g.moveBottom(visible.bottom());
    if (g.left() < visible.left())
        g.moveLeft(visible.left());
    if (g.top() < visible.top())
        g.moveTop(visible.top());
    if (g != window->geometry())
        window->setGeometry(g);
}

void PlaceNew(QMdiArea* area, QMdiSubWindow* window, const QSize& wanted) {
    if (!area || !window || window->isMaximized() || window->isMinimized())
        return;
    const QRect visible = AreaRect(area);
    const QSize minimum = UsableMinimum(window->widget());
    auto side = [](int want, int room, int least) {
        const int share = static_cast<int>(room * NewWindowShare);
        return std::min(room, std::max({want, share, least}));
    };
    const QSize size(side(wanted.width(), visible.width(), minimum.width()),
                     side(wanted.height(), visible.height(), minimum.height()));
    // One step for each other window shown, starting again where the step
    // would push the window past the area.
    int others = 0;
    for (QMdiSubWindow* sub : area->subWindowList())
        if (sub != window && sub->isVisible() && !sub->isMinimized())
            ++others;
    const int step = std::max(20, area->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, area) + 4);
    const int roomX = std::max(0, visible.width() - size.width());
    const int roomY = std::max(0, visible.height() - size.height());
    const int steps = std::max(1, std::min(roomX, roomY) / step + 1);
    const int offset = (others % steps) * step;
    window->setGeometry(QRect(visible.topLeft() + QPoint(std::min(offset, roomX), std::min(offset, roomY)), size));
}

void Cascade(QMdiArea* area) {
    if (!area)
        return;
    const QRect visible = AreaRect(area);
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::StackingOrder))
        if (sub->isVisible() && !sub->isMinimized())
            windows.append(sub);
    QMdiSubWindow* active = area->activeSubWindow();
    const int step = std::max(20, area->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, area) + 4);
    int offset = 0;
    for (QMdiSubWindow* sub : windows) {
        if (sub->isMaximized())
            sub->showNormal();
        const QSize minimum = UsableMinimum(sub->widget());
        const QSize size = sub->size().expandedTo(minimum);
        // Smaller where the step leaves less room, never below the minimum:
        // when even that does not fit any more, the stack starts again at the top.
        QSize room = visible.size() - QSize(offset, offset);
        if (room.width() < minimum.width() || room.height() < minimum.height()) {
            offset = 0;
            room = visible.size();
        }
        sub->setGeometry(QRect(visible.topLeft() + QPoint(offset, offset), size.boundedTo(room)));
        sub->raise();
        offset += step;
    }
    if (active)
        area->setActiveSubWindow(active);
}

} // namespace mdiwindows
