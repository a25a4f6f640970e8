#pragma once
// A window as the position routines see it: a name and a position, size and
// state in twips (15 twips per pixel). The window layer adapts its windows to
// it (a QWidget adapter in platform/ui); tests use a plain object.
#include <string>

class IFormGeometry {
public:
    virtual ~IFormGeometry() = default;

    // The window's name: the value name under which its position is stored.
    virtual std::string Name() const = 0;

    virtual double Left() const = 0;
    virtual double Top() const = 0;
    virtual double Width() const = 0;
    virtual double Height() const = 0;
    virtual void SetLeft(double twips) = 0;
    virtual void SetTop(double twips) = 0;
    virtual void SetWidth(double twips) = 0;
    virtual void SetHeight(double twips) = 0;

    // 0 normal, 1 minimized, 2 maximized.
    virtual int WindowState() const = 0;
    virtual void SetWindowState(int state) = 0;

    // Where a minimized or maximized window goes back to when it is
    // restored, twips; a window in the normal state stands there.
    virtual double NormalLeft() const { return Left(); }
    virtual double NormalTop() const { return Top(); }
    virtual double NormalWidth() const { return Width(); }
    virtual double NormalHeight() const { return Height(); }
};

constexpr int vbNormal = 0;
constexpr int vbMinimized = 1;
constexpr int vbMaximized = 2;
