// ScreenScenes: the saver on every screen a host shows it on.
//
// Each screen has a snow scene of its own, seeded from the saver's seed
// (the first screen keeps that seed itself, so one screen shows the snow it
// always did) and centred on it; one set of input rules judges input on all
// of them, with positions in the coordinates of the whole layout. A host
// lists its screens, makes a ScreenOutput for each when asked, and
// translates its events; this class keeps the scenes in step with the list.
//
// What a host writes, for one screen or several:
//   1. A ScreenOutput: how one screen's frames are shown (a window, a part
//      of a window, a surface), and a function that makes one for a screen.
//   2. At start: Start(seed, count), SetStartPointer(x, y) where input may
//      end the saver, then LayOut(screens) with the screens it covers.
//   3. Whenever the screens change (added, removed, moved, resized):
//      LayOut(screens) again; a screen that stays keeps its flakes.
//   4. Every SaverDriver::kTickMilliseconds: Tick(i) for each screen that
//      can be seen (or TickAll()).
//   5. Keys: OnKey(); buttons: OnButton(); pointer moves: OnPointerMove(x, y)
//      in layout coordinates. kRequestClose means the user wants the saver
//      gone. Where the platform has a saver password, ask a PasswordGate
//      (host/win32_logic/password_services.h) first; if it refuses, put the pointer back
//      at SavedX(), SavedY() and call OnCloseRefused().
//   6. At the end: Stop(), which frees every image and output.
// host/win32 (kivo.scr), host/x11 and host/wayland (kivo) do all six;
// tools/kivo-render drives one SaverDriver with no screen at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "flakes/frame_view.h"
#include "host/shared/input_rules.h"
#include "host/shared/saver_driver.h"
#include "host/shared/screen_layout.h"

namespace kivo {

// How a host shows one screen's frames.
class ScreenOutput {
 public:
  virtual ~ScreenOutput() = default;
  // Where the screen is and how large, in the host's coordinates: once at
  // first and again whenever it moves or changes size. False when frames of
  // that size cannot be shown (the scene runs on unseen).
  virtual bool Place(const ScreenRect& rect) = 0;
  // Where the screen's frames are drawn, asked after each Place that
  // succeeded (FrameTarget, flakes/frame_view.h): the bottom-up 24-bit block
  // unless the output asks for the 32-bit layout, which spares it any
  // conversion, or lends 32-bit rows of the size placed, which spares the
  // copy too. Lent rows stay valid until the next Place or the output's end.
  virtual FrameTarget Target() { return FrameTarget{}; }
  // Shows a finished frame of the size last placed.
  virtual void Show(const FrameView& frame) = 0;
  // Shows the last frame again as it was (after the window was covered).
  virtual void Repaint() {}
  // What the last Show spent converting and copying, for -fps.
  virtual double LastConvertMilliseconds() const { return 0; }
  virtual double LastCopyMilliseconds() const { return 0; }
};

// One screen as a host lists it: an identity that stays while the screen
// does (a monitor's name, an output's number) and its rectangle.
struct Screen {
  std::uint64_t id = 0;
  ScreenRect rect;
};

// Time spent per tick, summed for -fps.
struct FrameTimes {
  int ticks = 0;
  double stepMs = 0;
  double convertMs = 0;
  double copyMs = 0;
};

class ScreenScenes {
 public:
  // Makes the output of a new screen; `slot` counts the screens made so far
  // (0 for the first). May return null: that screen's snow runs unseen.
  using MakeOutput = std::function<std::unique_ptr<ScreenOutput>(const Screen& screen, std::size_t slot)>;

  // `endsOnInput` is false for a preview, and for a window that belongs to
  // someone else, which keeps its own input.
  ScreenScenes(bool endsOnInput, MakeOutput makeOutput);
  ~ScreenScenes() { Stop(); }
  ScreenScenes(const ScreenScenes&) = delete;
  ScreenScenes& operator=(const ScreenScenes&) = delete;

  void Start(std::uint32_t seed, std::int32_t flakeCount);
  bool Started() const { return started_; }

  // Follows the screens listed, in their order: a screen whose id stays keeps
  // its flakes (re-laid out if its size changed, placed again if it moved),
  // a new id gets a scene and an output of its own, and a screen that is
  // gone loses both. False when some output could not be placed.
  bool LayOut(const std::vector<Screen>& screens);

  std::size_t Count() const { return scenes_.size(); }
  const Screen& ScreenAt(std::size_t i) const { return scenes_[i]->screen; }
  SaverDriver& Driver(std::size_t i) { return scenes_[i]->driver; }
  ScreenOutput* Output(std::size_t i) { return scenes_[i]->output.get(); }

  // One frame step of screen i, shown on its output; `times` may be null.
  void Tick(std::size_t i, FrameTimes* times = nullptr);
  void TickAll(FrameTimes* times = nullptr);
  // Shows every screen's last frame again as it was.
  void RepaintAll();
  // The screen `id` is shown somewhere else from now on (a lock surface
  // in place of the saver's): its old output goes, a new one is made and
  // placed at the next LayOut, and its snow goes on as it was.
  void RenewOutput(std::uint64_t id);

  // Frees every frame buffer, sprite and output.
  void Stop();

  void SetStartPointer(std::int32_t x, std::int32_t y) { input_.SetSavedCursor(x, y); }
  std::int32_t SavedX() const { return input_.SavedX(); }
  std::int32_t SavedY() const { return input_.SavedY(); }
  InputAction OnKey() const { return input_.OnKey(); }
  InputAction OnButton(PointerButton button) const { return input_.OnButton(button); }
  InputAction OnPointerMove(std::int32_t x, std::int32_t y) { return input_.OnMouseMove(x, y); }
  void OnCloseRefused() { input_.OnCloseRefused(); }

 private:
  struct Scene {
    Screen screen;
    SaverDriver driver;
    std::unique_ptr<ScreenOutput> output;
    bool placed = false;  // the output shows frames of the screen's size
    std::size_t slot = 0;
  };

  MakeOutput makeOutput_;
  InputRules input_;
  std::vector<std::unique_ptr<Scene>> scenes_;
  std::uint32_t seed_ = 0;
  std::int32_t flakeCount_ = 0;
  std::size_t slots_ = 0;
  bool started_ = false;
};

}  // namespace kivo
