#include "host/wayland/output_layout.h"

#include <algorithm>

namespace kivo {

ScreenRect LayoutBounds(const WaylandClient& client) {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool any = false;
  for (const auto& o : client.Outputs()) {
    if (!o->ready) continue;
    const int r = o->x + WaylandClient::LogicalWidth(*o), b = o->y + WaylandClient::LogicalHeight(*o);
    left = any ? std::min(left, o->x) : o->x;
    top = any ? std::min(top, o->y) : o->y;
    right = any ? std::max(right, r) : r;
    bottom = any ? std::max(bottom, b) : b;
    any = true;
  }
  return ScreenRect{left, top, right - left, bottom - top};
}

// A full-screen window (where there is no layer shell) that the compositor
// made as large as the whole layout of several outputs, not its own output:
// then every such window lies over all of them, one above the other, and
// only the top one is seen.
SnowWindow* WindowOverTheLayout(const WaylandClient& client, const std::vector<std::unique_ptr<SnowWindow>>& windows) {
  if (client.Subcompositor() == nullptr || client.Viewporter() == nullptr) return nullptr;
  int ready = 0;
  for (const auto& o : client.Outputs()) ready += o->ready ? 1 : 0;
  if (ready < 2) return nullptr;
  const ScreenRect bounds = LayoutBounds(client);
  for (const auto& w : windows) {
    const WaylandOutput* own = client.OutputByName(w->outputName);
    if (w->toplevel == nullptr || own == nullptr || !w->shm->Configured()) continue;
    const int width = w->shm->PixelWidth() / std::max(1, own->scale);
    const int height = w->shm->PixelHeight() / std::max(1, own->scale);
    const bool overAll = width == bounds.width && height == bounds.height;
    const bool ownSize = width == WaylandClient::LogicalWidth(*own) && height == WaylandClient::LogicalHeight(*own);
    if (overAll && !ownSize) return w.get();
  }
  return nullptr;
}

void PlaceSubsurfaces(const WaylandClient& client, std::vector<std::unique_ptr<SnowWindow>>& windows,
                      SnowWindow* canvas) {
  const ScreenRect bounds = LayoutBounds(client);
  for (auto& w : windows) {
    const WaylandOutput* o = client.OutputByName(w->outputName);
    if (w->subsurface == nullptr || o == nullptr) continue;
    const int x = o->x - bounds.x, y = o->y - bounds.y;
    if (x != w->subsurfaceX || y != w->subsurfaceY) {
      wl_subsurface_set_position(w->subsurface, x, y);
      w->subsurfaceX = x;
      w->subsurfaceY = y;
    }
    w->shm->SetLogicalSize(WaylandClient::LogicalWidth(*o), WaylandClient::LogicalHeight(*o));
  }
  canvas->shm->Blank();
}

bool PlacementOf(const WaylandClient& client, const std::vector<std::unique_ptr<SnowWindow>>& windows,
                 wl_surface* surface, int* x, int* y) {
  for (const auto& w : windows) {
    if (w->shm->Surface() != surface) continue;
    *x = *y = 0;
    if (w->canvas) {
      const ScreenRect bounds = LayoutBounds(client);
      *x = bounds.x;
      *y = bounds.y;
    }
    if (const WaylandOutput* o = client.OutputByName(w->outputName)) {
      *x = o->x;
      *y = o->y;
    }
    return true;
  }
  return false;
}

}  // namespace kivo
