#pragma once
// A plain window for the position routines: name, position, size and state in
// twips, nothing else.
#include <string>

#include "util/IFormGeometry.h"

namespace vtest {

class PlainForm : public IFormGeometry {
public:
    explicit PlainForm(std::string name = "frmTest", double left = 0, double top = 0, double width = 0,
                       double height = 0, int state = vbNormal)
        : name(std::move(name)), left(left), top(top), width(width), height(height), state(state) {}

    std::string Name() const override { return name; }
    double Left() const override { return left; }
    double Top() const override { return top; }
    double Width() const override { return width; }
    double Height() const override { return height; }
    void SetLeft(double v) override { left = v; }
    void SetTop(double v) override { top = v; }
    void SetWidth(double v) override { width = v; }
    void SetHeight(double v) override { height = v; }
    int WindowState() const override { return state; }
    void SetWindowState(int s) override { state = s; }

    std::string name;
    double left, top, width, height;
    int state;
};

} // namespace vtest
