#include "host/shared/screen_layout.h"

#include <algorithm>

namespace kivo {

std::vector<ScreenRect> SaverScreens(const std::vector<Monitor>& monitors) {
  std::vector<ScreenRect> screens;
  auto add = [&screens](const ScreenRect& r) {
    if (r.width <= 0 || r.height <= 0) return;
    if (std::find(screens.begin(), screens.end(), r) != screens.end()) return;
    screens.push_back(r);
  };
  for (const Monitor& m : monitors) {
    if (m.primary) add(m.rect);
  }
  for (const Monitor& m : monitors) add(m.rect);
  return screens;
}

std::vector<ScreenRect> ScreensInWindow(const std::vector<ScreenRect>& screens, int originX, int originY, int width,
                                        int height) {
  std::vector<ScreenRect> inWindow;
  for (const ScreenRect& s : screens) {
    // In 64 bits: monitor and window corners may lie anywhere.
    const long long left = std::max<long long>(0, static_cast<long long>(s.x) - originX);
    const long long top = std::max<long long>(0, static_cast<long long>(s.y) - originY);
    const long long right = std::min<long long>(width, static_cast<long long>(s.x) + s.width - originX);
    const long long bottom = std::min<long long>(height, static_cast<long long>(s.y) + s.height - originY);
    if (right <= left || bottom <= top) continue;
    inWindow.push_back(ScreenRect{static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                                  static_cast<int>(bottom - top)});
  }
  if (inWindow.empty() && width > 0 && height > 0) inWindow.push_back(ScreenRect{0, 0, width, height});
  return inWindow;
}

std::uint32_t ScreenSeed(std::uint32_t seed, std::size_t index) {
  // A large odd step: neighbouring screens start far apart in the sequence.
  return seed + static_cast<std::uint32_t>(index) * 0x9E3779B9u;
}

}  // namespace kivo
