// A held key typed again and again, as in every text field: after the
// compositor's delay, at its rate. One key repeats at a time, the one
// pressed last; releasing it (or the keyboard's focus going) stops it.
#pragma once

#include <chrono>
#include <cstdint>

namespace kivo {

class KeyRepeat {
 public:
  using Clock = std::chrono::steady_clock;
  // At most this many repeats at once after the loop was held up: what a
  // user sees as one stutter, not a whole password gone.
  static constexpr int kMostAtOnce = 4;

  // Characters per second (0: keys never repeat) and the delay before the
  // first repeat, as wl_keyboard.repeat_info gives them.
  void SetRate(int perSecond, int delayMs) {
    period_ = perSecond > 0 ? std::chrono::microseconds(1000000 / perSecond) : Clock::duration::zero();
    delay_ = std::chrono::milliseconds(delayMs > 0 ? delayMs : 0);
    if (period_ == Clock::duration::zero()) held_ = false;
  }
  void Press(std::uint32_t key, Clock::time_point now) {
    held_ = period_ > Clock::duration::zero();
    key_ = key;
    next_ = now + delay_;
  }
  void Release(std::uint32_t key) {
    if (key == key_) held_ = false;
  }
  void Stop() { held_ = false; }

  // The repeats due by `now`; the schedule moves on past them.
  int Due(Clock::time_point now) {
    if (!held_ || now < next_) return 0;
    const auto late = now - next_;
    const auto count = late / period_ + 1;
    next_ += period_ * count;
    return count > kMostAtOnce ? kMostAtOnce : static_cast<int>(count);
  }
  std::uint32_t Key() const { return key_; }
  // When the next repeat is due; max while no key repeats.
  Clock::time_point Next() const { return held_ ? next_ : Clock::time_point::max(); }

 private:
  Clock::duration period_ = std::chrono::milliseconds(40);  // 25 a second until the compositor says
  Clock::duration delay_ = std::chrono::milliseconds(600);
  bool held_ = false;
  std::uint32_t key_ = 0;
  Clock::time_point next_{};
};

}  // namespace kivo
