#include "host/wayland/snow_window.h"

namespace kivo {
namespace {

SnowWindow* Of(void* data) { return static_cast<SnowWindow*>(data); }

std::unique_ptr<SnowWindow> NewWindow(const WaylandClient& client, const WaylandOutput* output,
                                      std::function<void()> changed) {
  auto w = std::make_unique<SnowWindow>();
  w->outputName = output != nullptr ? output->name : 0;
  w->configured = changed;
  w->shm = std::make_unique<ShmSurface>(client, std::move(changed));
  if (output != nullptr) w->shm->SetIntegerScale(output->scale);
  return w;
}

void Configured(SnowWindow* window, std::uint32_t serial, int width, int height) {
  window->shm->Configure(serial, width, height);
  if (window->configured) window->configured();
}

}  // namespace

SnowWindow::~SnowWindow() {
  if (subsurface != nullptr) wl_subsurface_destroy(subsurface);
  if (lockSurface != nullptr) ext_session_lock_surface_v1_destroy(lockSurface);
  if (layer != nullptr) zwlr_layer_surface_v1_destroy(layer);
  if (toplevel != nullptr) xdg_toplevel_destroy(toplevel);
  if (xdgSurface != nullptr) xdg_surface_destroy(xdgSurface);
}

std::unique_ptr<SnowWindow> MakeLayerWindow(const WaylandClient& client, const WaylandOutput& output, LayerKind kind,
                                            std::function<void()> changed) {
  static const zwlr_layer_surface_v1_listener listener = {
      [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
        Configured(Of(data), serial, static_cast<int>(width), static_cast<int>(height));
      },
      [](void* data, zwlr_layer_surface_v1*) {
        Of(data)->closed = true;
        if (Of(data)->configured) Of(data)->configured();
      },
  };
  std::unique_ptr<SnowWindow> w = NewWindow(client, &output, std::move(changed));
  const bool background = kind == LayerKind::kBackground;
  w->layer = zwlr_layer_shell_v1_get_layer_surface(
      client.LayerShell(), w->shm->Surface(), output.output,
      background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "kivo");
  zwlr_layer_surface_v1_add_listener(w->layer, &listener, w.get());
  w->shm->SetAcknowledge([layer = w->layer](std::uint32_t serial) { zwlr_layer_surface_v1_ack_configure(layer, serial); });
  zwlr_layer_surface_v1_set_anchor(w->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_size(w->layer, 0, 0);
  zwlr_layer_surface_v1_set_exclusive_zone(w->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(w->layer, background
                                                                 ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                                                                 : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  // The first commit, with no buffer, asks the compositor for a configure.
  w->shm->Commit();
  return w;
}

std::unique_ptr<SnowWindow> MakeToplevelWindow(const WaylandClient& client, const WaylandOutput* output, int width,
                                               int height, std::function<void()> changed) {
  static const xdg_surface_listener surfaceListener = {
      [](void* data, xdg_surface*, std::uint32_t serial) {
        Configured(Of(data), serial, Of(data)->pendingWidth, Of(data)->pendingHeight);
      },
  };
  static const xdg_toplevel_listener toplevelListener = {
      [](void* data, xdg_toplevel*, std::int32_t w, std::int32_t h, wl_array*) {
        // 0 leaves the size to the window: keep what it has.
        if (w > 0) Of(data)->pendingWidth = w;
        if (h > 0) Of(data)->pendingHeight = h;
      },
      [](void* data, xdg_toplevel*) {
        Of(data)->closed = true;
        if (Of(data)->configured) Of(data)->configured();
      },
      [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},  // bounds
      [](void*, xdg_toplevel*, wl_array*) {},                   // capabilities
  };
  std::unique_ptr<SnowWindow> w = NewWindow(client, output, std::move(changed));
  w->pendingWidth = width;
  w->pendingHeight = height;
  w->xdgSurface = xdg_wm_base_get_xdg_surface(client.WmBase(), w->shm->Surface());
  xdg_surface_add_listener(w->xdgSurface, &surfaceListener, w.get());
  w->shm->SetAcknowledge([surface = w->xdgSurface](std::uint32_t serial) { xdg_surface_ack_configure(surface, serial); });
  w->toplevel = xdg_surface_get_toplevel(w->xdgSurface);
  xdg_toplevel_add_listener(w->toplevel, &toplevelListener, w.get());
  xdg_toplevel_set_title(w->toplevel, "KIVO");
  xdg_toplevel_set_app_id(w->toplevel, "kivo");
  if (output != nullptr) xdg_toplevel_set_fullscreen(w->toplevel, output->output);
  w->shm->Commit();
  return w;
}

std::unique_ptr<SnowWindow> MakeSubsurfaceWindow(const WaylandClient& client, wl_surface* parent,
                                                 const WaylandOutput& output, int x, int y,
                                                 std::function<void()> changed) {
  std::unique_ptr<SnowWindow> w = NewWindow(client, &output, std::move(changed));
  w->subsurface = wl_subcompositor_get_subsurface(client.Subcompositor(), w->shm->Surface(), parent);
  // Its own frames, whenever it has them, not only with the parent's.
  wl_subsurface_set_desync(w->subsurface);
  wl_subsurface_set_position(w->subsurface, x, y);
  w->subsurfaceX = x;
  w->subsurfaceY = y;
  // No configure comes to a subsurface: its size is its output's.
  w->shm->SetLogicalSize(WaylandClient::LogicalWidth(output), WaylandClient::LogicalHeight(output));
  return w;
}

std::unique_ptr<SnowWindow> MakeLockWindow(const WaylandClient& client, ext_session_lock_v1* lock,
                                           const WaylandOutput& output, std::function<void()> changed) {
  static const ext_session_lock_surface_v1_listener listener = {
      [](void* data, ext_session_lock_surface_v1*, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
        Configured(Of(data), serial, static_cast<int>(width), static_cast<int>(height));
      },
  };
  std::unique_ptr<SnowWindow> w = NewWindow(client, &output, std::move(changed));
  w->lockSurface = ext_session_lock_v1_get_lock_surface(lock, w->shm->Surface(), output.output);
  ext_session_lock_surface_v1_add_listener(w->lockSurface, &listener, w.get());
  w->shm->SetAcknowledge(
      [surface = w->lockSurface](std::uint32_t serial) { ext_session_lock_surface_v1_ack_configure(surface, serial); });
  return w;  // a lock surface waits for its configure before any commit
}

}  // namespace kivo
