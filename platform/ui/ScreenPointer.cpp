#include "platform/ui/ScreenPointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform::ui {

namespace {

int g_pointer = vbDefault;

Qt::CursorShape ShapeOf(int pointer) {
    switch (pointer) {
    case vbCrosshair: return Qt::CrossCursor;
    case vbIbeam: return Qt::IBeamCursor;
    case vbSizeAll: return Qt::SizeAllCursor;
    case vbSizeNESW: return Qt::SizeBDiagCursor;
    case vbSizeNS: return Qt::SizeVerCursor;
    case vbSizeNWSE: return Qt::SizeFDiagCursor;
    case vbSizeWE: return Qt::SizeHorCursor;
    case vbUpArrow: return Qt::UpArrowCursor;
    case vbHourglass: return Qt::WaitCursor;
    case vbNoDrop: return Qt::ForbiddenCursor;
    case vbArrowHourglass: return Qt::BusyCursor;
    case vbArrowQuestion: return Qt::WhatsThisCursor;
    case vbSizePointer: return Qt::SizeAllCursor;
    default: return Qt::ArrowCursor;
    }
}

} // namespace

void SetScreenMousePointer(int pointer) {
    g_pointer = pointer;
    if (!qGuiApp)
        return;
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (pointer != vbDefault)
        QGuiApplication::setOverrideCursor(QCursor(ShapeOf(pointer)));
}

int ScreenMousePointer() {
    return g_pointer;
}

} // namespace platform::ui
