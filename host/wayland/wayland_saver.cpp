#include "host/wayland/wayland_saver.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/posix/saver_loop.h"
#include "host/screen_scenes.h"
#include "host/wayland/shm_surface.h"
#include "host/wayland/wayland_client.h"

namespace kivo {
namespace {

int Fail(const std::string& message, int code = 2) {
  std::fprintf(stderr, "kivo: %s\n", message.c_str());
  return code;
}

// One surface of the saver: an output's (a layer surface, or a full-screen
// window where there is no layer shell) or the one window of -window.
struct SnowWindow {
  bool* layOutAgain = nullptr;  // set when the compositor gives it a new size
  std::uint32_t outputName = 0;  // 0 for -window
  std::unique_ptr<ShmSurface> shm;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  int pendingWidth = 0;  // from the toplevel's configure, applied on the xdg_surface's
  int pendingHeight = 0;
  bool closed = false;  // the compositor took it away

  ~SnowWindow() {
    if (layer != nullptr) zwlr_layer_surface_v1_destroy(layer);
    if (toplevel != nullptr) xdg_toplevel_destroy(toplevel);
    if (xdgSurface != nullptr) xdg_surface_destroy(xdgSurface);
  }
};

// How ScreenScenes shows a screen: on its window's surface.
class SurfaceOutput : public ScreenOutput {
 public:
  explicit SurfaceOutput(ShmSurface* surface) : surface_(surface) {}
  bool Place(const ScreenRect& rect) override { return surface_->Prepare(rect.width, rect.height); }
  void Show(const FrameView& frame) override { surface_->Show(frame); }

 private:
  ShmSurface* surface_;
};

class WaylandSaver : public LoopConnection {
 public:
  explicit WaylandSaver(const KivoOptions& options)
      : options_(options),
        scenes_(options.target != KivoTarget::kBackground, [this](const Screen& screen, std::size_t) {
          SnowWindow* w = WindowFor(screen.id);
          return std::unique_ptr<ScreenOutput>(w != nullptr ? new SurfaceOutput(w->shm.get()) : nullptr);
        }) {}
  ~WaylandSaver() override {
    scenes_.Stop();
    windows_.clear();
  }
  int Run();

  int Fd() const override { return wl_display_get_fd(client_.Display()); }
  bool Dispatch() override;
  void BeforeWait() override;
  void AfterWait(bool readable) override;
  void Tick(FrameTimes* times) override;
  bool Idle() const override;

 private:
  bool FullScreen() const { return options_.target == KivoTarget::kFullScreen; }
  bool TakesInput() const { return options_.target != KivoTarget::kBackground; }
  SnowWindow* WindowFor(std::uint64_t outputName);
  SnowWindow* WindowOf(wl_surface* surface);
  void OpenWindow(const WaylandOutput* output);
  void FollowOutputs();
  void LayOut();
  void ListenToSeat();
  void Judge(InputAction action) { ended_ = ended_ || action == InputAction::kRequestClose; }

  KivoOptions options_;
  WaylandClient client_;
  std::vector<std::unique_ptr<SnowWindow>> windows_;
  ScreenScenes scenes_;
  bool layOutAgain_ = false;
  bool ended_ = false;  // input or a closed window: exit 0
  bool failed_ = false;
  int exitCode_ = 0;
  bool pointerSeen_ = false;
  int pointerOriginX_ = 0;  // where the surface under the pointer lies in the layout
  int pointerOriginY_ = 0;
};

SnowWindow* WaylandSaver::WindowFor(std::uint64_t outputName) {
  for (auto& w : windows_) {
    if (w->outputName == outputName) return w.get();
  }
  return nullptr;
}

SnowWindow* WaylandSaver::WindowOf(wl_surface* surface) {
  for (auto& w : windows_) {
    if (w->shm->Surface() == surface) return w.get();
  }
  return nullptr;
}

void WaylandSaver::OpenWindow(const WaylandOutput* output) {
  auto w = std::make_unique<SnowWindow>();
  w->layOutAgain = &layOutAgain_;
  w->outputName = output != nullptr ? output->name : 0;
  w->shm = std::make_unique<ShmSurface>(client_, [this] { layOutAgain_ = true; });
  SnowWindow* raw = w.get();
  if (output != nullptr) w->shm->SetIntegerScale(output->scale);
  if (output != nullptr && client_.LayerShell() != nullptr) {
    static const zwlr_layer_surface_v1_listener listener = {
        [](void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial, std::uint32_t width, std::uint32_t height) {
          auto* window = static_cast<SnowWindow*>(data);
          zwlr_layer_surface_v1_ack_configure(layer, serial);
          window->shm->SetLogicalSize(static_cast<int>(width), static_cast<int>(height));
          *window->layOutAgain = true;
        },
        [](void* data, zwlr_layer_surface_v1*) { static_cast<SnowWindow*>(data)->closed = true; },
    };
    const bool background = options_.target == KivoTarget::kBackground;
    w->layer = zwlr_layer_shell_v1_get_layer_surface(
        client_.LayerShell(), w->shm->Surface(), output->output,
        background ? ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND : ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "kivo");
    zwlr_layer_surface_v1_add_listener(w->layer, &listener, raw);
    zwlr_layer_surface_v1_set_anchor(w->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                   ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                   ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(w->layer, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(w->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        w->layer, background ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE
                             : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  } else {
    static const xdg_surface_listener surfaceListener = {
        [](void* data, xdg_surface* surface, std::uint32_t serial) {
          auto* window = static_cast<SnowWindow*>(data);
          xdg_surface_ack_configure(surface, serial);
          window->shm->SetLogicalSize(window->pendingWidth, window->pendingHeight);
          *window->layOutAgain = true;
        },
    };
    static const xdg_toplevel_listener toplevelListener = {
        [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
          auto* window = static_cast<SnowWindow*>(data);
          // 0 leaves the size to the window: keep what it has.
          if (width > 0) window->pendingWidth = width;
          if (height > 0) window->pendingHeight = height;
        },
        [](void* data, xdg_toplevel*) { static_cast<SnowWindow*>(data)->closed = true; },
        [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},  // bounds
        [](void*, xdg_toplevel*, wl_array*) {},                   // capabilities
    };
    w->pendingWidth = options_.width;
    w->pendingHeight = options_.height;
    w->xdgSurface = xdg_wm_base_get_xdg_surface(client_.WmBase(), w->shm->Surface());
    xdg_surface_add_listener(w->xdgSurface, &surfaceListener, raw);
    w->toplevel = xdg_surface_get_toplevel(w->xdgSurface);
    xdg_toplevel_add_listener(w->toplevel, &toplevelListener, raw);
    xdg_toplevel_set_title(w->toplevel, "KIVO");
    xdg_toplevel_set_app_id(w->toplevel, "kivo");
    if (output != nullptr) xdg_toplevel_set_fullscreen(w->toplevel, output->output);
  }
  // The first commit, with no buffer, asks the compositor for a configure.
  w->shm->Commit();
  windows_.push_back(std::move(w));
}

// A window per output that is on (full screen and background), made and
// dropped as outputs come and go.
void WaylandSaver::FollowOutputs() {
  if (options_.target == KivoTarget::kWindow) return;
  for (const auto& o : client_.Outputs()) {
    if (o->ready && WindowFor(o->name) == nullptr) OpenWindow(o.get());
  }
  layOutAgain_ = true;
}

// The screens: every configured window, at its output's place in the
// layout and its size in physical pixels. Windows whose output went away,
// or that the compositor closed, go once their scenes have.
void WaylandSaver::LayOut() {
  layOutAgain_ = false;
  std::vector<std::unique_ptr<SnowWindow>> gone;
  for (auto it = windows_.begin(); it != windows_.end();) {
    const bool outputGone = (*it)->outputName != 0 && std::none_of(client_.Outputs().begin(), client_.Outputs().end(),
                                                                   [&it](const std::unique_ptr<WaylandOutput>& o) {
                                                                     return o->name == (*it)->outputName;
                                                                   });
    if (outputGone || ((*it)->closed && (*it)->outputName != 0)) {
      gone.push_back(std::move(*it));
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  std::vector<Screen> screens;
  for (auto& w : windows_) {
    int x = 0, y = 0, scale = 1;
    for (const auto& out : client_.Outputs()) {
      if (w->outputName != 0) {
        if (out->name != w->outputName) continue;
        x = out->x;
        y = out->y;
        scale = out->scale;
      } else if (std::find(w->shm->Outputs().begin(), w->shm->Outputs().end(), out->output) != w->shm->Outputs().end()) {
        scale = std::max(scale, out->scale);  // a window takes the largest scale of the outputs it is on
      }
    }
    w->shm->SetIntegerScale(scale);
    if (w->shm->Configured()) {
      screens.push_back(Screen{w->outputName, ScreenRect{x, y, w->shm->PixelWidth(), w->shm->PixelHeight()}});
    }
  }
  scenes_.LayOut(screens);
  gone.clear();
}

bool WaylandSaver::Dispatch() {
  if (wl_display_dispatch_pending(client_.Display()) < 0) failed_ = true;
  for (auto& w : windows_) {
    // A window closed by its user ends the saver, as any window would.
    if (w->closed && w->outputName == 0) ended_ = true;
    if (w->closed && w->outputName != 0) layOutAgain_ = true;
  }
  if (layOutAgain_ && !failed_) LayOut();
  return !failed_ && !ended_;
}

void WaylandSaver::BeforeWait() {
  while (wl_display_prepare_read(client_.Display()) != 0) {
    if (wl_display_dispatch_pending(client_.Display()) < 0) {
      failed_ = true;
      return;
    }
  }
  wl_display_flush(client_.Display());
}

void WaylandSaver::AfterWait(bool readable) {
  if (failed_) return;
  if (readable) {
    if (wl_display_read_events(client_.Display()) < 0) failed_ = true;
  } else {
    wl_display_cancel_read(client_.Display());
  }
}

void WaylandSaver::Tick(FrameTimes* times) {
  for (std::size_t i = 0; i < scenes_.Count(); ++i) {
    SnowWindow* w = WindowFor(scenes_.ScreenAt(i).id);
    // A screen the compositor has not asked for a frame (an output that is
    // off, asleep or hidden) is not stepped at all.
    if (w != nullptr && w->shm->Ready()) scenes_.Tick(i, times);
  }
  wl_display_flush(client_.Display());
}

bool WaylandSaver::Idle() const {
  for (const auto& w : windows_) {
    if (w->shm->Ready()) return false;
  }
  return true;
}

void WaylandSaver::ListenToSeat() {
  if (!TakesInput()) return;
  client_.seat.pointerEnter = [this](wl_surface* surface, std::uint32_t serial, double x, double y) {
    SnowWindow* w = WindowOf(surface);
    if (w == nullptr) return;
    if (FullScreen() && client_.Pointer() != nullptr) wl_pointer_set_cursor(client_.Pointer(), serial, nullptr, 0, 0);
    pointerOriginX_ = pointerOriginY_ = 0;
    for (const auto& o : client_.Outputs()) {
      if (o->name == w->outputName) {
        pointerOriginX_ = o->x;
        pointerOriginY_ = o->y;
      }
    }
    // Where the pointer first shows itself is where moves are measured
    // from; coming onto another surface later is a move like any other.
    const int layoutX = pointerOriginX_ + static_cast<int>(x);
    const int layoutY = pointerOriginY_ + static_cast<int>(y);
    if (pointerSeen_) {
      Judge(scenes_.OnPointerMove(layoutX, layoutY));
    } else {
      scenes_.SetStartPointer(layoutX, layoutY);
      pointerSeen_ = true;
    }
  };
  client_.seat.pointerMotion = [this](double x, double y) {
    Judge(scenes_.OnPointerMove(pointerOriginX_ + static_cast<int>(x), pointerOriginY_ + static_cast<int>(y)));
  };
  client_.seat.button = [this](std::uint32_t button, bool pressed) {
    if (!pressed) return;
    Judge(scenes_.OnButton(button == BTN_LEFT ? PointerButton::kLeft
                           : button == BTN_RIGHT ? PointerButton::kRight
                                                 : PointerButton::kOther));
  };
  client_.seat.key = [this](std::uint32_t, bool pressed) {
    if (pressed) Judge(scenes_.OnKey());
  };
}

int WaylandSaver::Run() {
  std::string error;
  if (!client_.Connect(&error)) return Fail(error);
  if (options_.target == KivoTarget::kBackground && client_.LayerShell() == nullptr) {
    return Fail("-background needs a compositor with the wlr layer shell (wlroots compositors, KDE, Hyprland, niri)");
  }
  if (client_.LayerShell() == nullptr && client_.WmBase() == nullptr) {
    return Fail("the Wayland compositor offers neither the wlr layer shell nor xdg-shell windows");
  }
  if (FullScreen() && client_.LayerShell() == nullptr) {
    std::fprintf(stderr, "kivo: no wlr layer shell here: a full-screen window on each output instead\n");
  }
  scenes_.Start(options_.seedGiven ? options_.seed : SaverDriver::ClockSeed(), options_.count);
  ListenToSeat();
  client_.outputsChanged = [this] { FollowOutputs(); };
  if (options_.target == KivoTarget::kWindow) OpenWindow(nullptr);
  FollowOutputs();
  if (wl_display_roundtrip(client_.Display()) < 0) return Fail(client_.Failure());
  LayOut();
  InstallStopSignals();
  RunSaverLoop(*this, "kivo", options_.frames, options_.fps);
  if (!failed_) return 0;
  // The session ending takes a wallpaper with it; for anything else a lost
  // compositor is a failure.
  if (options_.target == KivoTarget::kBackground && client_.ConnectionLost()) return 0;
  return Fail(client_.Failure(), client_.ConnectionLost() ? 1 : 2);
}

}  // namespace

int RunWaylandSaver(const KivoOptions& options) {
  WaylandSaver saver(options);
  return saver.Run();
}

}  // namespace kivo
