#pragma once
// The application-wide (screen) mouse pointer, with the pointer numbers the
// forms were written against: 0 default, 1 arrow, 11 hourglass, ...
//
// Setting a pointer replaces whatever override cursor is in force (the old
// pointer is not saved); 0 removes every override, so each widget shows its
// own cursor again.
namespace platform::ui {

constexpr int vbDefault = 0;
constexpr int vbArrow = 1;
constexpr int vbCrosshair = 2;
constexpr int vbIbeam = 3;
constexpr int vbSizeAll = 5;
constexpr int vbSizeNESW = 6;
constexpr int vbSizeNS = 7;
constexpr int vbSizeNWSE = 8;
constexpr int vbSizeWE = 9;
constexpr int vbUpArrow = 10;
constexpr int vbHourglass = 11;
constexpr int vbNoDrop = 12;
constexpr int vbArrowHourglass = 13;
constexpr int vbArrowQuestion = 14;
constexpr int vbSizePointer = 15;

void SetScreenMousePointer(int pointer);
// The value last set (0 at start).
int ScreenMousePointer();

} // namespace platform::ui
