#pragma once
// Twips and pixels. Form geometry is kept in twips, as the forms were laid out;
// a screen pixel is 15 twips in both directions.
#include <cmath>

#include "platform/Screen.h"

namespace platform::ui {

// A twips value converted to whole twips: the nearest whole number, a half
// going to the even neighbour (2557.5 -> 2558, 1987.5 -> 1988).
inline int RoundTwips(double twips) {
    return static_cast<int>(std::nearbyint(twips));
}

// Twips to whole pixels (nearest pixel).
inline int PixelsFromTwips(double twips) {
    return static_cast<int>(std::lround(twips / platform::TwipsPerPixel));
}

inline int TwipsFromPixels(double pixels) {
    return static_cast<int>(std::lround(pixels * platform::TwipsPerPixel));
}

} // namespace platform::ui
