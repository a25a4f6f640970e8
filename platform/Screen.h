#pragma once
// The screen as the non-window code sees it: size, work area, colour depth and
// resolution. A window layer installs a provider (the Qt application does);
// without one nothing is known and GetScreenInfo returns nothing.
#include <functional>
#include <optional>

namespace platform {

// Form positions and sizes are kept in twips; the screen has 15 twips per pixel.
constexpr int TwipsPerPixel = 15;

struct ScreenInfo {
    int width = 0;        // pixels
    int height = 0;       // pixels
    int workLeft = 0;     // available area (without task bars), pixels
    int workTop = 0;
    int workWidth = 0;
    int workHeight = 0;
    int bitsPerPixel = 0; // colour depth
    int planes = 1;       // colour planes
    int logPixelsX = 96;  // horizontal dots per inch
};

using ScreenInfoProvider = std::function<ScreenInfo()>;

// Installs the provider; an empty function removes it. Returns the previous one.
ScreenInfoProvider SetScreenInfoProvider(ScreenInfoProvider provider);
std::optional<ScreenInfo> GetScreenInfo();

} // namespace platform
