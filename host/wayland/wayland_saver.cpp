#include "host/wayland/wayland_saver.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/lock/grace_keeper.h"
#include "host/posix/daemon.h"
#include "host/posix/saver_loop.h"
#include "host/shared/screen_scenes.h"
#include "host/wayland/lock_handover.h"
#include "host/wayland/output_layout.h"
#include "host/wayland/saver_input.h"
#include "host/wayland/snow_window.h"
#include "host/wayland/surface_output.h"
#include "host/wayland/wayland_client.h"
#include "host/wayland/wayland_lock.h"

namespace kivo {
namespace {

int Fail(const std::string& message, int code = 2) { return FailWith("kivo", message, code); }

class WaylandSaver : public LoopConnection {
 public:
  WaylandSaver(const KivoOptions& options, Daemon* daemon)
      : options_(options),
        daemon_(daemon),
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
  int WatchFd() const override { return lock_ != nullptr ? lock_->WatchFd() : -1; }
  int BusFd() const override { return keeper_ != nullptr ? keeper_->BusFd() : -1; }
  bool Dispatch() override;
  void BeforeWait() override;
  void AfterWait(bool readable) override;
  void Tick(FrameTimes* times) override;
  bool Idle() const override;
  Clock::time_point Deadline() const override {
    if (keeper_ != nullptr && keeper_->InGrace()) return keeper_->Deadline();
    return lock_ != nullptr ? lock_->Deadline() : Clock::time_point::max();
  }

 private:
  bool Locking() const { return options_.target == KivoTarget::kLock; }
  std::string Refusal() const;
  void BecomeLock();
  SnowWindow* WindowFor(std::uint64_t outputName);
  void OpenWindow(const WaylandOutput* output);
  void FollowOutputs();
  void LayOut();
  void EnterCanvas(SnowWindow* canvas, std::vector<std::unique_ptr<SnowWindow>>* gone);

  KivoOptions options_;
  Daemon* daemon_;
  WaylandClient client_;
  std::vector<std::unique_ptr<SnowWindow>> windows_;
  ScreenScenes scenes_;
  std::unique_ptr<SaverInput> input_;
  std::unique_ptr<WaylandLock> lock_;
  std::unique_ptr<GraceKeeper> keeper_;      // -lock and --lock-after: the grace, sleep, the hint
  std::unique_ptr<LockHandover> handover_;  // the saver's surfaces while the lock's take over
  bool layOutAgain_ = false;
  // Full-screen windows the compositor lays over the whole layout rather
  // than one per output (cage): one of them holds a subsurface per output.
  SnowWindow* canvas_ = nullptr;
  bool closedByUser_ = false;  // -window closed: exit 0
  bool failed_ = false;
};

SnowWindow* WaylandSaver::WindowFor(std::uint64_t outputName) {
  for (auto& w : windows_) {
    if (w->outputName == outputName) return w.get();
  }
  return nullptr;
}

// The surface for an output (null: the one window of -window): a lock
// surface, a layer surface, or a full-screen window where there is no
// layer shell.
void WaylandSaver::OpenWindow(const WaylandOutput* output) {
  auto changed = [this] { layOutAgain_ = true; };
  std::unique_ptr<SnowWindow> w;
  if (Locking()) {
    if (output != nullptr) w = lock_->NewWindow(*output, changed);
  } else if (canvas_ != nullptr && output != nullptr) {
    const ScreenRect bounds = LayoutBounds(client_);
    w = MakeSubsurfaceWindow(client_, canvas_->shm->Surface(), *output, output->x - bounds.x, output->y - bounds.y,
                             changed);
  } else if (output != nullptr && client_.LayerShell() != nullptr) {
    const bool background = options_.target == KivoTarget::kBackground;
    w = MakeLayerWindow(client_, *output, background ? LayerKind::kBackground : LayerKind::kOverlay, changed);
  } else {
    w = MakeToplevelWindow(client_, output, options_.width, options_.height, changed);
  }
  if (w != nullptr) windows_.push_back(std::move(w));
}

// A window per output that is on (full screen, background, lock), made as
// outputs come and again when the compositor closed one whose output stays.
void WaylandSaver::FollowOutputs() {
  layOutAgain_ = true;
  if (options_.target == KivoTarget::kWindow) return;
  for (const auto& o : client_.Outputs()) {
    if (o->ready && WindowFor(o->name) == nullptr) OpenWindow(o.get());
  }
}

// The screens: every configured window, at its output's place in the
// layout and its size in physical pixels. Windows whose output went away,
// or that the compositor closed, go once their scenes have; a closed one
// whose output stays is made again.
void WaylandSaver::LayOut() {
  layOutAgain_ = false;
  std::vector<std::unique_ptr<SnowWindow>> gone;
  bool reopen = false;
  for (auto it = windows_.begin(); it != windows_.end();) {
    SnowWindow& w = **it;
    const bool outputGone = w.outputName != 0 && client_.OutputByName(w.outputName) == nullptr;
    if (w.outputName != 0 && (outputGone || (w.closed && w.subsurface == nullptr))) {
      reopen = reopen || !outputGone;
      gone.push_back(std::move(*it));
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  // Full-screen windows where there is no layer shell: a compositor may
  // lay each over the whole layout.
  const bool fullScreenWindows = options_.target == KivoTarget::kFullScreen && client_.LayerShell() == nullptr;
  if (canvas_ == nullptr && fullScreenWindows) {
    if (SnowWindow* over = WindowOverTheLayout(client_, windows_)) EnterCanvas(over, &gone);
  }
  if (canvas_ != nullptr) PlaceSubsurfaces(client_, windows_, canvas_);
  std::vector<Screen> screens;
  for (auto& lockOrOwn : windows_) {
    if (lockOrOwn->canvas) continue;
    // Becoming the lock: an output's snow stays on the saver's surface
    // until its lock surface can show it.
    SnowWindow* w = lockOrOwn.get();
    bool moved = false;
    if (handover_ != nullptr && (w = handover_->Shown(*lockOrOwn, &moved)) == nullptr) continue;
    if (moved) scenes_.RenewOutput(w->outputName);
    int x = 0, y = 0, scale = 1;
    if (const WaylandOutput* out = client_.OutputByName(w->outputName)) {
      x = out->x;
      y = out->y;
      scale = out->scale;
    } else {
      // A window takes the largest scale of the outputs it is on.
      for (wl_output* on : w->shm->Outputs()) {
        if (const WaylandOutput* under = client_.OutputOf(on)) scale = std::max(scale, under->scale);
      }
    }
    w->shm->SetIntegerScale(scale);
    if (w->shm->Configured()) {
      screens.push_back(Screen{w->outputName, ScreenRect{x, y, w->shm->PixelWidth(), w->shm->PixelHeight()}});
    }
  }
  scenes_.LayOut(screens);
  gone.clear();
  if (handover_ != nullptr) handover_->Settle(lock_->Session().Locked());
  if (reopen) FollowOutputs();
}

// One window over the whole layout, black, with a subsurface per output
// that holds that output's snow; the other full-screen windows go.
void WaylandSaver::EnterCanvas(SnowWindow* canvas, std::vector<std::unique_ptr<SnowWindow>>* gone) {
  std::fprintf(stderr, "kivo: the compositor lays each window over every output: one window, a scene per output\n");
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (it->get() != canvas && (*it)->toplevel != nullptr) {
      gone->push_back(std::move(*it));
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  // The scenes start again on the subsurfaces (one of them has the id the
  // window had): none may go on drawing into the window itself.
  scenes_.LayOut({});
  canvas->canvas = true;
  canvas->outputName = 0;
  canvas_ = canvas;
  FollowOutputs();
}

bool WaylandSaver::Dispatch() {
  const auto read = [this] {
    if (wl_display_dispatch_pending(client_.Display()) < 0) failed_ = true;
  };
  if (keeper_ != nullptr) {
    keeper_->Wake([this] { BecomeLock(); }, read);
  } else {
    read();
  }
  if (lock_ != nullptr) {
    lock_->TakeEvents();
    // The check's answer is read as soon as it comes, not on a beat.
    if (!failed_) lock_->ReadCheckAnswer();
    keeper_->Follow(lock_->Session().Current());
    if (lock_->Session().Over()) return false;
    if (handover_ != nullptr && lock_->Session().Locked()) layOutAgain_ = true;  // the saver's surfaces may go
    lock_->RepeatKeys(Clock::now());
    // -daemonize: whoever started kivo goes on once the session is locked.
    if (lock_->Session().Locked() && daemon_ != nullptr) {
      daemon_->Ready();
      daemon_ = nullptr;
    }
  }
  for (auto& w : windows_) {
    // A window closed by its user ends the saver, as any window would.
    if (w->closed && w->outputName == 0) closedByUser_ = true;
  }
  if (layOutAgain_ && !failed_) LayOut();
  return !failed_ && !closedByUser_ && (input_ == nullptr || !input_->EndRequested());
}

void WaylandSaver::BeforeWait() { failed_ = failed_ || !client_.PrepareRead(); }

void WaylandSaver::AfterWait(bool readable) { failed_ = failed_ || !client_.FinishRead(readable); }

void WaylandSaver::Tick(FrameTimes* times) {
  const auto now = Clock::now();
  for (std::size_t i = 0; i < scenes_.Count(); ++i) {
    SnowWindow* w = WindowFor(scenes_.ScreenAt(i).id);
    // A screen the compositor has long asked no frame of (an output that
    // is off, asleep or hidden) is not stepped at all; one that only waits
    // for its next frame is, and shows the latest when asked.
    if (w != nullptr && !w->shm->Hidden(now)) scenes_.Tick(i, times);
  }
  wl_display_flush(client_.Display());
}

bool WaylandSaver::Idle() const {
  const auto now = Clock::now();
  for (const auto& w : windows_) {
    if (!w->canvas && w->shm->Configured() && !w->shm->Hidden(now)) return false;
  }
  return true;
}

// Why the saver cannot run on this compositor ("" when it can); a lock
// surface needs no shell, so -lock's own reasons are its lock's.
std::string WaylandSaver::Refusal() const {
  if (Locking()) return "";
  if (options_.lockAfter >= 0 && client_.LockManager() == nullptr) {
    return "--lock-after needs a compositor that can lock the session (ext-session-lock-v1), which this one is not";
  }
  if (options_.lockAfter >= 0 && getpwuid(getuid()) == nullptr) return "cannot tell which user runs kivo";
  if (options_.target == KivoTarget::kBackground && client_.LayerShell() == nullptr) {
    return "-background needs the wlr layer shell, which this compositor does not offer";
  }
  if (client_.LayerShell() == nullptr && client_.WmBase() == nullptr) {
    return "the Wayland compositor offers neither the wlr layer shell nor xdg-shell windows";
  }
  return "";
}

int WaylandSaver::Run() {
  std::string error;
  if (!client_.Connect(&error)) return Fail(error);
  const std::string refused = Refusal();
  if (!refused.empty()) return Fail(refused);
  if (Locking()) {
    lock_ = std::make_unique<WaylandLock>(client_);
    if (!lock_->Take()) return Fail(lock_->Session().Why(), lock_->Session().ExitStatus());
  }
  if (options_.target == KivoTarget::kFullScreen && client_.LayerShell() == nullptr) {
    std::fprintf(stderr, "kivo: no wlr layer shell here: a full-screen window on each output instead\n");
  }
  if (Locking() || options_.lockAfter >= 0) keeper_ = std::make_unique<GraceKeeper>(options_.lockAfter);
  scenes_.Start(RunSeed(options_), options_.count);
  if (lock_ == nullptr && options_.target != KivoTarget::kBackground) {
    input_ = std::make_unique<SaverInput>(
        client_, scenes_, [this](wl_surface* s, int* x, int* y) { return PlacementOf(client_, windows_, s, x, y); },
        options_.target == KivoTarget::kFullScreen);
  }
  client_.outputsChanged = [this] { FollowOutputs(); };
  if (options_.target == KivoTarget::kWindow) OpenWindow(nullptr);
  FollowOutputs();
  failed_ = wl_display_roundtrip(client_.Display()) < 0;
  if (!failed_) {
    LayOut();
    InstallStopSignals();
    RunSaverLoop(*this, "kivo", options_.frames, options_.fps);
  }
  if (lock_ != nullptr) {
    // Fail closed: whatever ended kivo but the system's yes, the compositor
    // keeps the session locked.
    if (failed_) lock_->ConnectionLost();
    lock_->TakeEvents();
    const LockSession& session = lock_->Session();
    keeper_->Follow(session.Current());
    // Another locker took the session first: it holds it, and the saver
    // that was about to lock is simply over.
    if (options_.lockAfter >= 0 && session.Current() == LockSession::State::kRefused) {
      return Fail(session.Why() + ": the saver ends", 0);
    }
    return session.ExitStatus() == 0 ? 0 : Fail(session.Why(!failed_), session.ExitStatus());
  }
  if (!failed_) return 0;
  // The session ending takes a wallpaper with it; for anything else a lost
  // compositor is a failure.
  if (options_.target == KivoTarget::kBackground && client_.ConnectionLost()) return 0;
  return Fail(client_.Failure(), client_.ConnectionLost() ? 1 : 2);
}

// The grace is over: the session is locked with the snow going on. The
// saver's surfaces show it until the lock's take over.
void WaylandSaver::BecomeLock() {
  lock_ = std::make_unique<WaylandLock>(client_);
  // The lock listens from here on; the saver's input is no more.
  const bool taken = lock_->Take();
  input_.reset();
  if (!taken) return;
  options_.target = KivoTarget::kLock;
  handover_ = std::make_unique<LockHandover>();
  handover_->Begin(std::move(windows_));
  windows_.clear();
  canvas_ = nullptr;  // lock surfaces are one per output
  FollowOutputs();
}

}  // namespace

const char* WaylandBuildNote() {
  return LogindBuiltIn() ? "" : "Built without logind (sd-bus): --lock-after cannot hold sleep back until locked.\n";
}

int RunWaylandSaver(const KivoOptions& options) {
  // -daemonize forks before anything is made, so that the process that
  // keeps the lock is the one that locked the password's memory.
  Daemon daemon;
  if (options.daemonize && !daemon.Detach()) return Fail("cannot go on in the background (fork failed)");
  WaylandSaver saver(options, options.daemonize ? &daemon : nullptr);
  return saver.Run();
}

}  // namespace kivo
