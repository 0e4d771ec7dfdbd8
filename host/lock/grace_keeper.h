// What -lock and --lock-after add to a saver's loop besides the lock
// itself: the grace before the lock, and logind (sleep held back while the
// grace lasts and until the compositor says locked; the session's hint).
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "host/lock/grace_period.h"
#include "host/lock/lock_session.h"
#include "host/lock/logind.h"
#include "host/lock/sleep_guard.h"

namespace kivo {

class GraceKeeper {
 public:
  using Clock = std::chrono::steady_clock;
  // `graceSeconds` below 0: no grace (-lock, locked from the start). Says
  // once on stderr when a grace's sleep cannot be guarded.
  explicit GraceKeeper(long graceSeconds);

  // One wake of the loop: what logind said first (sleep coming, or a lock
  // asked, ends the grace), then the grace's deadline (`lock`, once), and
  // only then `readInput`.
  void Wake(const std::function<void()>& lock, const std::function<void()>& readInput);
  // After each turn, with the lock's state (kIdle before there is one).
  void Follow(LockSession::State state) { guard_.Follow(state); }
  bool InGrace() const { return grace_ != nullptr && !grace_->Locking(); }
  // When the grace ends, for the loop's wait; max with none under way.
  Clock::time_point Deadline() const;
  int BusFd() const { return logind_.Fd(); }

 private:
  Logind logind_;
  SleepGuard guard_;
  std::unique_ptr<GracePeriod> grace_;
};

}  // namespace kivo
