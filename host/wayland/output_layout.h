// Where the outputs lie in the compositor's layout, and the one window a
// compositor that lays every full-screen window over the whole layout
// (cage) is given: black, with a subsurface per output holding its snow.
#pragma once

#include <memory>
#include <vector>

#include "host/shared/screen_layout.h"
#include "host/wayland/snow_window.h"
#include "host/wayland/wayland_client.h"

namespace kivo {

// The layout's bounding box, in logical pixels.
ScreenRect LayoutBounds(const WaylandClient& client);
// A full-screen window that the compositor made as large as the whole
// layout of several outputs rather than its own output; null when there
// is none (or no subsurfaces and viewporter to put one per output in it).
SnowWindow* WindowOverTheLayout(const WaylandClient& client, const std::vector<std::unique_ptr<SnowWindow>>& windows);
// Each output's subsurface where its output lies in the layout, at its
// output's size; the canvas's commit applies them.
void PlaceSubsurfaces(const WaylandClient& client, std::vector<std::unique_ptr<SnowWindow>>& windows,
                      SnowWindow* canvas);

// Where `surface` lies in the layout, if it is one of `windows`' surfaces.
bool PlacementOf(const WaylandClient& client, const std::vector<std::unique_ptr<SnowWindow>>& windows,
                 wl_surface* surface, int* x, int* y);

}  // namespace kivo
