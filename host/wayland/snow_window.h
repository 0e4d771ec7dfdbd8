// One surface of the saver with its role: an output's layer surface, lock
// surface or full-screen window (where there is no layer shell), or the one
// window of -window. The role's configure gives the surface its size; the
// compositor may take the surface away (closed).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "host/wayland/shm_surface.h"
#include "host/wayland/wayland_client.h"

namespace kivo {

struct SnowWindow {
  std::uint32_t outputName = 0;  // 0 for -window
  std::unique_ptr<ShmSurface> shm;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  ext_session_lock_surface_v1* lockSurface = nullptr;
  wl_subsurface* subsurface = nullptr;  // an output's part of a window over the whole layout
  int subsurfaceX = 0;                  // its place in that window
  int subsurfaceY = 0;
  bool canvas = false;  // a window over the whole layout, holding one subsurface per output
  std::unique_ptr<SurfaceOverlay> overlay;  // drawn over the frames (the lock's prompt)
  int pendingWidth = 0;  // from the toplevel's configure, applied on the xdg_surface's
  int pendingHeight = 0;
  bool closed = false;               // the compositor took it away
  std::function<void()> configured;  // a new size from the role's configure

  ~SnowWindow();
};

enum class LayerKind { kOverlay, kBackground };

// Each makes the surface and its role; the first configure follows. The
// `changed` function is called on every configure and on a new scale.
std::unique_ptr<SnowWindow> MakeLayerWindow(const WaylandClient& client, const WaylandOutput& output, LayerKind kind,
                                            std::function<void()> changed);
// A toplevel titled KIVO, full screen on `output` when one is given, else
// of width x height until the compositor says otherwise.
std::unique_ptr<SnowWindow> MakeToplevelWindow(const WaylandClient& client, const WaylandOutput* output, int width,
                                               int height, std::function<void()> changed);
// An output's part of `parent` (a window the compositor laid over the whole
// layout): a subsurface of the output's logical size at x, y within it,
// drawn on its own. The parent commits its position.
std::unique_ptr<SnowWindow> MakeSubsurfaceWindow(const WaylandClient& client, wl_surface* parent,
                                                 const WaylandOutput& output, int x, int y,
                                                 std::function<void()> changed);
std::unique_ptr<SnowWindow> MakeLockWindow(const WaylandClient& client, ext_session_lock_v1* lock,
                                           const WaylandOutput& output, std::function<void()> changed);

}  // namespace kivo
