// Which windows and scenes the saver makes for the monitors it is shown on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo {

// A rectangle in screen (or window) coordinates; x and y may be negative
// for a monitor left of or above the primary one.
struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ScreenRect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

struct Monitor {
  ScreenRect rect;
  bool primary = false;
};

// One screen per monitor, the primary monitor's first (it keeps the saver's
// main window, so a single monitor is shown exactly as it always was), the
// others in the platform's order. Monitors with no area get none, nor does a
// monitor that repeats another's rectangle (a mirrored output). Without a
// primary monitor the first one listed leads.
std::vector<ScreenRect> SaverScreens(const std::vector<Monitor>& monitors);

// The same screens as parts of a window at (originX, originY) that is
// width x height: each is moved into window coordinates and clipped to the
// window; screens that fall outside it are dropped. A window no monitor
// touches is one screen of its own size.
std::vector<ScreenRect> ScreensInWindow(const std::vector<ScreenRect>& screens, int originX, int originY, int width,
                                        int height);

// The seed of the scene on screen `index`: the saver's own seed on the
// first screen, so one monitor shows the snow it always did, and a seed of
// its own on each other screen, so that no two monitors show the same snow.
std::uint32_t ScreenSeed(std::uint32_t seed, std::size_t index);

}  // namespace kivo
