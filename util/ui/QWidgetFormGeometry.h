#pragma once
// A Qt window seen through the window-position interface: its name (object
// name, or class name when it has none), its position and size in twips
// (15 twips per pixel) and its state (0 normal, 1 minimized, 2 maximized).
// Position and size are those of the window's own area, without the window
// manager's frame, both when read and when written, so that a window saved
// and restored stands where it stood. A negative width or height is refused
// with error 380 (Invalid property value).
//
//     QWidgetFormGeometry geometry(this);
//     m_winPos.RestoreForm(geometry);
#include <QPointer>
#include <QWidget>

#include <string>

#include "util/IFormGeometry.h"

class QWidgetFormGeometry : public IFormGeometry {
public:
    explicit QWidgetFormGeometry(QWidget* window);

    std::string Name() const override;

    double Left() const override;
    double Top() const override;
    double Width() const override;
    double Height() const override;
    void SetLeft(double twips) override;
    void SetTop(double twips) override;
    void SetWidth(double twips) override;
    void SetHeight(double twips) override;

    int WindowState() const override;
    void SetWindowState(int state) override;

    // Where the window goes back to from minimized or maximized: a top-level
    // window's own normal geometry; for a window inside another (a window of
    // the frame's document area) the last one TrackNormalGeometry saw.
    double NormalLeft() const override;
    double NormalTop() const override;
    double NormalWidth() const override;
    double NormalHeight() const override;
    // Follows the window's position and size while it is in the normal
    // state, for the Normal values of a window inside another, which Qt does
    // not tell. Once per window; the follower lives as its child.
    static void TrackNormalGeometry(QWidget* window);
    static QRect NormalGeometryOf(const QWidget* window);

    // Moves (and where needed shrinks) a top-level window so that it lies,
    // frame and title bar included, inside the work area of the screen that
    // holds its middle, or of the primary screen.
    static void KeepOnVisibleScreen(QWidget* window);
    // The frame assumed while the window manager has not framed the window yet, pixels.
    static constexpr int AssumedTitleBar = 32;
    static constexpr int AssumedBorder = 8;

private:
    QWidget* Window() const;

    QPointer<QWidget> m_window;
};
