#include "host/wayland/wayland_saver.h"

#include <linux/input-event-codes.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/lock/lock_indicator.h"
#include "host/lock/lock_prompt.h"
#include "host/lock/pam_check.h"
#include "host/posix/saver_loop.h"
#include "host/lock/secret_buffer.h"
#include "host/shared/screen_scenes.h"
#include "host/wayland/shm_surface.h"
#include "host/wayland/wayland_client.h"
#include "host/wayland/xkb_keyboard.h"

namespace kivo {
namespace {

int Fail(const std::string& message, int code = 2) {
  std::fprintf(stderr, "kivo: %s\n", message.c_str());
  return code;
}

// The lock screen's prompt, drawn over an output's snow.
class PromptOverlay : public SurfaceOverlay {
 public:
  explicit PromptOverlay(const LockPrompt& prompt) : prompt_(prompt) {}
  ScreenRect Place(int width, int height) override {
    scale_ = IndicatorScale(height);
    const int w = IndicatorWidth(scale_), h = IndicatorHeight(scale_);
    placed_ = ScreenRect{(width - w) / 2, height * 2 / 3 - h / 2, w, h};
    return placed_;
  }
  void Paint(std::uint8_t* pixels, int stride, const ScreenRect& rect) override {
    DrawIndicator(image_, prompt_.Look(LockPrompt::Clock::now()), prompt_.Marks(), scale_);
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      const std::uint8_t* src = image_.RowAddress(y - placed_.y);
      if (src == nullptr) continue;
      src += 3 * (rect.x - placed_.x);
      std::uint8_t* dst = pixels + static_cast<std::ptrdiff_t>(y) * stride + 4 * rect.x;
      // Black is where the prompt is not: the snow shows through.
      for (int x = 0; x < rect.width; ++x, src += 3, dst += 4) {
        if ((src[0] | src[1] | src[2]) != 0) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
      }
    }
  }

 private:
  const LockPrompt& prompt_;
  RasterImage image_;
  ScreenRect placed_;
  int scale_ = 1;
};

// One surface of the saver: an output's (a layer surface, a lock surface,
// or a full-screen window where there is no layer shell) or the one window
// of -window.
struct SnowWindow {
  bool* layOutAgain = nullptr;  // set when the compositor gives it a new size
  std::uint32_t outputName = 0;  // 0 for -window
  std::unique_ptr<ShmSurface> shm;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  ext_session_lock_surface_v1* lockSurface = nullptr;
  std::unique_ptr<PromptOverlay> prompt;
  int pendingWidth = 0;  // from the toplevel's configure, applied on the xdg_surface's
  int pendingHeight = 0;
  bool closed = false;  // the compositor took it away

  ~SnowWindow() {
    if (lockSurface != nullptr) ext_session_lock_surface_v1_destroy(lockSurface);
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
        scenes_(options.target != KivoTarget::kBackground && options.target != KivoTarget::kLock,
                [this](const Screen& screen, std::size_t) {
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
  bool Locking() const { return options_.target == KivoTarget::kLock; }
  bool TakesInput() const { return options_.target != KivoTarget::kBackground; }
  SnowWindow* WindowFor(std::uint64_t outputName);
  SnowWindow* WindowOf(wl_surface* surface);
  void OpenWindow(const WaylandOutput* output);
  void FollowOutputs();
  void LayOut();
  void ListenToSeat();
  void Judge(InputAction action) { ended_ = ended_ || action == InputAction::kRequestClose; }
  int Lock();
  void OnLockKey(std::uint32_t key);
  void FollowCheck();

  KivoOptions options_;
  WaylandClient client_;
  std::vector<std::unique_ptr<SnowWindow>> windows_;
  ScreenScenes scenes_;
  bool layOutAgain_ = false;
  bool ended_ = false;  // input or a closed window: exit 0
  bool failed_ = false;
  bool pointerSeen_ = false;
  int pointerOriginX_ = 0;  // where the surface under the pointer lies in the layout
  int pointerOriginY_ = 0;
  // -lock: the lock, and what unlocks it.
  ext_session_lock_v1* lock_ = nullptr;
  bool lockRefused_ = false;  // the compositor said finished
  bool locked_ = false;       // the compositor said locked
  bool detached_ = false;
  bool unlocked_ = false;
  std::string user_;
  LockPrompt prompt_;
  XkbKeyboard keyboard_;
  PamCheck pam_;
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
  if (Locking()) {
    static const ext_session_lock_surface_v1_listener listener = {
        [](void* data, ext_session_lock_surface_v1* surface, std::uint32_t serial, std::uint32_t width,
           std::uint32_t height) {
          auto* window = static_cast<SnowWindow*>(data);
          ext_session_lock_surface_v1_ack_configure(surface, serial);
          window->shm->SetLogicalSize(static_cast<int>(width), static_cast<int>(height));
          *window->layOutAgain = true;
        },
    };
    w->lockSurface = ext_session_lock_v1_get_lock_surface(lock_, w->shm->Surface(), output->output);
    ext_session_lock_surface_v1_add_listener(w->lockSurface, &listener, raw);
    w->prompt = std::make_unique<PromptOverlay>(prompt_);
    w->shm->SetOverlay(w->prompt.get());
    windows_.push_back(std::move(w));
    return;  // a lock surface waits for its configure before any commit
  }
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
  // The compositor ended the lock: gone, without our unlocking anything.
  if (lockRefused_) return false;
  // -daemonize: whoever started kivo goes on once the session is locked (an
  // idle daemon that waits for it before the machine sleeps); the snow and
  // the prompt go on in the background.
  if (locked_ && options_.daemonize && !detached_) {
    detached_ = true;
    const pid_t child = fork();
    if (child > 0) _exit(0);  // the connection stays the child's: nothing is sent or closed here
    if (child == 0) setsid();
  }
  for (auto& w : windows_) {
    // A window closed by its user ends the saver, as any window would.
    if (w->closed && w->outputName == 0) ended_ = true;
    if (w->closed && w->outputName != 0) layOutAgain_ = true;
  }
  if (layOutAgain_ && !failed_) LayOut();
  return !failed_ && !ended_ && !unlocked_;
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
  if (Locking()) FollowCheck();
  for (std::size_t i = 0; i < scenes_.Count(); ++i) {
    SnowWindow* w = WindowFor(scenes_.ScreenAt(i).id);
    // A screen the compositor has not asked for a frame (an output that is
    // off, asleep or hidden) is not stepped at all.
    if (w != nullptr && w->shm->Ready()) scenes_.Tick(i, times);
  }
  wl_display_flush(client_.Display());
}

bool WaylandSaver::Idle() const {
  if (pam_.Checking()) return false;  // its answer is looked for every beat
  for (const auto& w : windows_) {
    if (w->shm->Ready()) return false;
  }
  return true;
}

void WaylandSaver::ListenToSeat() {
  if (!TakesInput()) return;
  if (Locking()) {
    client_.seat.keymap = [this](int fd, std::uint32_t size) { keyboard_.SetKeymap(fd, size); };
    client_.seat.modifiers = [this](std::uint32_t d, std::uint32_t l, std::uint32_t k, std::uint32_t g) {
      keyboard_.SetModifiers(d, l, k, g);
    };
    client_.seat.key = [this](std::uint32_t key, bool pressed) {
      if (pressed) OnLockKey(key);
    };
    return;
  }
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

void WaylandSaver::OnLockKey(std::uint32_t key) {
  XkbKeyboard::Key k = keyboard_.Press(key);
  const auto now = LockPrompt::Clock::now();
  switch (k.kind) {
    case XkbKeyboard::Kind::kText:
      prompt_.Type(k.text, k.length, now);
      break;
    case XkbKeyboard::Kind::kBackspace:
      prompt_.Backspace();
      break;
    case XkbKeyboard::Kind::kEscape:
      prompt_.Escape(now);
      break;
    case XkbKeyboard::Kind::kEnter:
      if (prompt_.Enter(now)) {
        SecretBuffer& secret = prompt_.Secret();
        // The child process has its own copy; this one goes at once.
        if (!pam_.Start("kivo", user_.c_str(), secret.Data(), secret.Length())) prompt_.Answer(false, now);
        secret.Wipe();
      }
      break;
    case XkbKeyboard::Kind::kNone:
      break;
  }
  explicit_bzero(k.text, sizeof k.text);
}

// Only the system's yes unlocks; every other way out leaves the session locked.
void WaylandSaver::FollowCheck() {
  const PamCheck::State answer = pam_.Poll();
  if (answer == PamCheck::State::kRefused) prompt_.Answer(false, LockPrompt::Clock::now());
  if (answer != PamCheck::State::kAccepted || lock_ == nullptr) return;
  prompt_.Answer(true, LockPrompt::Clock::now());
  ext_session_lock_v1_unlock_and_destroy(lock_);
  lock_ = nullptr;
  wl_display_roundtrip(client_.Display());
  unlocked_ = true;
}

// Asks the compositor for the lock; the surfaces follow the outputs.
int WaylandSaver::Lock() {
  ForbidCoreDumps();
  const passwd* entry = getpwuid(getuid());
  if (entry == nullptr || entry->pw_name == nullptr) return Fail("cannot tell which user runs kivo");
  user_ = entry->pw_name;
  if (client_.LockManager() == nullptr) {
    return Fail("this compositor cannot lock the session (it offers no ext-session-lock-v1)");
  }
  static const ext_session_lock_v1_listener listener = {
      [](void* data, ext_session_lock_v1*) { static_cast<WaylandSaver*>(data)->locked_ = true; },
      [](void* data, ext_session_lock_v1*) { static_cast<WaylandSaver*>(data)->lockRefused_ = true; },
  };
  lock_ = ext_session_lock_manager_v1_lock(client_.LockManager());
  ext_session_lock_v1_add_listener(lock_, &listener, this);
  if (wl_display_roundtrip(client_.Display()) < 0) return Fail(client_.Failure());
  if (lockRefused_) return Fail("the compositor refused to lock the session (is it locked already?)");
  return 0;
}

int WaylandSaver::Run() {
  std::string error;
  if (!client_.Connect(&error)) return Fail(error);
  if (Locking()) {
    if (const int refused = Lock()) return refused;
  }
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
  if (Locking() && !unlocked_) {
    // Fail closed: whatever ended kivo, the compositor keeps the session locked.
    return Fail(lockRefused_ ? "the compositor ended the lock" : failed_ ? client_.Failure() + "; the session stays locked"
                                                                         : "stopped; the session stays locked",
                1);
  }
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
