// The grace of a saver started with --lock-after: until its deadline input
// ends the saver; from then on the saver is the lock. The time is counted
// on a clock that runs while the machine sleeps, and each wake of the loop
// looks at the deadline before it reads any input of that wake, so a
// machine that slept through the deadline wakes locked: the key that woke
// it is typed into the lock, never taken as the end of the saver.
#pragma once

#include <chrono>
#include <functional>

namespace kivo {

// The time since boot, sleep included (CLOCK_BOOTTIME).
std::chrono::nanoseconds BootClockNow();

class GracePeriod {
 public:
  using Duration = std::chrono::nanoseconds;
  // `now` on the clock that counts sleep.
  GracePeriod(Duration length, Duration now) : deadline_(now + length) {}

  bool Over(Duration now) const { return now >= deadline_; }
  // How long until the deadline (nothing once it is over).
  Duration Left(Duration now) const { return Over(now) ? Duration::zero() : deadline_ - now; }

  // One wake of the loop at `now`: `lock` first, once, if the deadline has
  // come; then `readInput`, whose input then reaches the lock.
  void Wake(Duration now, const std::function<void()>& lock, const std::function<void()>& readInput) {
    if (!locking_ && Over(now)) {
      locking_ = true;
      lock();
    }
    readInput();
  }
  bool Locking() const { return locking_; }
  // Sleep is coming, or the session is to be locked: the grace ends now.
  void EndNow() { deadline_ = Duration::min(); }

 private:
  Duration deadline_;
  bool locking_ = false;
};

}  // namespace kivo
