#pragma once
// A Qt window seen through the window-position interface: its name (object
// name, or class name when it has none), its outer position and size in twips
// (15 twips per pixel) and its state (0 normal, 1 minimized, 2 maximized).
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

private:
    QWidget* Window() const;

    QPointer<QWidget> m_window;
};
