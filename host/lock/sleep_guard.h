// What a lock owes the system's session manager: while the session is
// unlocked under a grace, sleep waits (a delay inhibitor); sleep coming or
// a lock asked for the session ends the grace at once; the delay is let go
// only once the compositor has said locked (or the lock was refused), so
// the machine never sleeps unlocked; and the session's LockedHint says
// whether kivo holds it locked. An unlock asked by anyone but the password
// is never heard.
#pragma once

#include "host/lock/lock_session.h"

namespace kivo {

class SleepGuard {
 public:
  // The session manager's side (logind); tests stand in for it.
  class Manager {
   public:
    virtual ~Manager() = default;
    virtual void DelaySleep() = 0;
    virtual void AllowSleep() = 0;
    virtual void SetLockedHint(bool locked) = 0;
  };
  explicit SleepGuard(Manager* manager) : manager_(manager) {}

  // The grace begins: sleep waits for the lock from now on.
  void GraceBegins() {
    if (manager_ != nullptr && !delaying_) manager_->DelaySleep();
    delaying_ = true;
  }
  // Whether what the system said ends a grace now.
  static bool LockNow(bool sleepComing, bool lockAsked) { return sleepComing || lockAsked; }
  // After each turn of the loop, with the lock's state (kIdle while there
  // is no lock yet).
  void Follow(LockSession::State state) {
    using State = LockSession::State;
    if (manager_ == nullptr) return;
    const bool locked = state == State::kLocked;
    // Given back, or ended by the compositor: the session is open again. (A
    // lost connection leaves it locked, and the hint as it was.)
    const bool open = state == State::kUnlocked || state == State::kEnded;
    if ((locked && !hinted_) || (open && hinted_)) {
      manager_->SetLockedHint(locked);
      hinted_ = locked;
    }
    const bool lockSettled = state != State::kIdle && state != State::kAsked && state != State::kUnlockDue;
    if (delaying_ && lockSettled) {
      manager_->AllowSleep();
      delaying_ = false;
    }
  }

 private:
  Manager* manager_;
  bool delaying_ = false;
  bool hinted_ = false;
};

}  // namespace kivo
