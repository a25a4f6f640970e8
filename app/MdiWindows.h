#pragma once
// Where the windows of the frame's document area go: a new window stands
// wholly inside the visible area, Cascade keeps every window at a usable size,
// and a saved size below the usable minimum is not worth restoring.
#include <QSize>

class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace mdiwindows {

// The smallest outer size, pixels, at which a window of the area can still be
// used: the scenario list with its six buttons in a row and its minimum
// height, a grid with a few rows and columns.
QSize UsableMinimum(const QWidget* form);

// True when the size is at least the usable minimum of the form in both directions.
bool IsUsableSize(const QWidget* form, const QSize& size);

// Moves the window so that it lies inside the area's visible part, making it
// smaller only where the area itself is smaller.
void PlaceInside(QMdiArea* area, QMdiSubWindow* window);

// Places a newly opened window: as large as its content wants (`wanted`,
// the outer size), at least NewWindowShare of the area in each direction
// and never larger than the area, from the area's top left corner, a title
// bar lower and to the right for each window already open there.
void PlaceNew(QMdiArea* area, QMdiSubWindow* window, const QSize& wanted);
inline constexpr double NewWindowShare = 0.6;

// Stacks the visible, not minimized windows from the top left corner, each
// one a title bar lower and to the right of the one before, the active one on
// top. Each keeps its size when that is usable and is grown to the usable
// minimum when not; no window is made larger than the area.
void Cascade(QMdiArea* area);

} // namespace mdiwindows
