#pragma once
// A Qt window seen through the window-position interface: its name (object
// name, or class name when it has none), its position and size in twips
// (15 twips per pixel) and its state (0 normal, 1 minimized, 2 maximized).
// Position and size are those of the window's own area, without the window
// manager's frame, both when read and when written, so that a window saved
// and restored stands where it stood.
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
