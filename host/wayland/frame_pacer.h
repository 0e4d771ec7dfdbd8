// When a surface may show a frame. After a commit the compositor answers
// with a frame callback when it wants the next one: until then the surface
// waits (the beat goes on, its frames wait to be shown). A compositor asks
// for no frame at all while the surface cannot be seen (an output off or
// asleep, a window covered): a wait longer than kHiddenAfter means hidden,
// and then the surface's snow is not stepped until the compositor asks.
#pragma once

#include <chrono>

namespace kivo {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;
  // Far longer than any refresh period, short enough that a powered-off
  // output costs a handful of beats.
  static constexpr Clock::duration kHiddenAfter = std::chrono::milliseconds(200);

  void Committed(Clock::time_point now) {
    waiting_ = true;
    since_ = now;
  }
  void FrameDone() { waiting_ = false; }
  bool Waiting() const { return waiting_; }
  bool Hidden(Clock::time_point now) const { return waiting_ && now - since_ >= kHiddenAfter; }

 private:
  bool waiting_ = false;
  Clock::time_point since_{};
};

}  // namespace kivo
