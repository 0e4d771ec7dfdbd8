// SaverDriver: one running saver, whatever shows it.
//
// It owns the snow scene, its seeding, the tick period, start / resize /
// stop and the rules by which input ends the saver. A host owns a window, a
// timer and an event loop, and only translates between those and the driver.
//
// What a new host writes:
//   1. Make a window (or take the one it is given) and learn its size.
//   2. At creation: Seed(s) or SeedFromClock(), then Start(width, height,
//      count) with the stored or given flake count; where input may end the
//      saver, SetStartCursor(x, y) with the pointer's screen position.
//   3. Every kTickMilliseconds: Tick(), then show the FrameView it returns:
//      a bottom-up 24-bit block (see flakes/frame_view.h). When the window
//      must be repainted between ticks, show Frame() again.
//   4. When the window's size changes: Resize(width, height).
//   5. Keys and the left and right buttons: OnKeyOrButton(); pointer moves,
//      in screen coordinates: OnPointerMove(x, y). kRequestClose means the
//      user wants the saver gone. Where the platform has a saver password,
//      ask a PasswordGate (host/password_services.h) first; if it refuses,
//      put the pointer back at SavedX(), SavedY() and call OnCloseRefused().
//   6. At the end: Stop(), which frees every image.
// host/win32 (kivo.scr) and host/x11 (kivo) do all six; tools/kivo-render
// is the same life cycle with no window at all.
#pragma once

#include <cstdint>
#include <memory>

#include "flakes/frame_view.h"
#include "flakes/snow_scene.h"
#include "host/input_rules.h"

namespace kivo {

class SaverDriver {
 public:
  // One tick of the animation; every host draws on this period.
  static constexpr int kTickMilliseconds = 30;

  // `endsOnInput` is false for a preview, and for a window that belongs to
  // someone else, which keeps its own input.
  explicit SaverDriver(bool endsOnInput);

  // The seed decides every flake; a saver seeds from the calendar time.
  void Seed(std::uint32_t seed);
  std::uint32_t SeedFromClock();  // returns the seed it used
  static std::uint32_t ClockSeed();

  // Builds the sprites, spawns `flakeCount` flakes (clamped to the field)
  // and creates the width x height frame buffer. A frame buffer that cannot
  // be created leaves the saver running with empty frames.
  void Start(int width, int height, std::int32_t flakeCount);
  void Resize(int width, int height);  // keeps the flakes
  void Stop();                         // frees the frame buffer and the sprites

  // Runs one frame step and returns the finished frame.
  FrameView Tick();
  FrameView Frame() const { return scene_->Frame(); }
  std::int64_t Ticks() const { return ticks_; }

  void SetStartCursor(std::int32_t x, std::int32_t y) { input_.SetSavedCursor(x, y); }
  std::int32_t SavedX() const { return input_.SavedX(); }
  std::int32_t SavedY() const { return input_.SavedY(); }
  InputAction OnKeyOrButton() const { return input_.OnKeyOrButton(); }
  InputAction OnPointerMove(std::int32_t x, std::int32_t y) { return input_.OnMouseMove(x, y); }
  void OnCloseRefused() { input_.OnCloseRefused(); }


 private:
  // 30000 flake records and eight images: kept off the stack.
  std::unique_ptr<SnowScene> scene_;
  InputRules input_;
  std::int64_t ticks_ = 0;
};

}  // namespace kivo
