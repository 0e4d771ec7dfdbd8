// The order a session lock keeps with the compositor, in one place:
// receivers are in place before anything is asked; every reason to refuse
// is known before the lock is asked for; the session is given back only
// after the compositor has said it is locked, and only on the system's
// yes; a lock the compositor ended is let go of; and each way the run can
// end has its exit status. The compositor is reached through LockProtocol,
// so every order the protocol allows can be walked without one.
#pragma once

#include <string>

namespace kivo {

// What the session asks of the compositor.
class LockProtocol {
 public:
  virtual ~LockProtocol() = default;
  // Puts every receiver in place: the lock's events and the keyboard's.
  virtual void Listen() = 0;
  // Asks for the lock.
  virtual void Lock() = 0;
  // Gives the session back (allowed only once the compositor said locked).
  virtual void Unlock() = 0;
  // Lets go of a lock the compositor refused or ended.
  virtual void Forget() = 0;
  // Sends what was asked and waits for the compositor's answers to it;
  // false when the connection failed. Events may arrive meanwhile.
  virtual bool Roundtrip() = 0;
};

class LockSession {
 public:
  enum class State {
    kIdle,         // nothing asked yet
    kRefused,      // not asked for: a reason to refuse, or the compositor said no at once
    kAsked,        // asked for, no answer yet
    kLocked,       // the compositor said locked
    kUnlockDue,    // the system said yes before the compositor said locked
    kUnlocked,     // given back, and the compositor has taken it in
    kEnded,        // the compositor ended a lock it had granted, or it was asked for and never given
    kLost,         // the connection failed while the lock was held or being given back
  };

  explicit LockSession(LockProtocol& compositor) : compositor_(compositor) {}

  // Listens, then asks for the lock unless `refusal` says why not, and
  // waits for the compositor's first answer. True while the lock is held
  // or on its way; false with Why() telling the reason.
  bool Take(const std::string& refusal);

  // The compositor's events.
  void OnLocked();
  void OnFinished();
  // The system's yes to a password: the session is given back now, or as
  // soon as the compositor has said locked.
  void OnAccepted();
  // The connection failed under the lock.
  void OnConnectionLost(const std::string& why);

  State Current() const { return state_; }
  bool Locked() const { return state_ == State::kLocked; }
  // Nothing more will happen: the loop may end.
  bool Over() const;
  // 0 once unlocked; 2 when the lock was never taken; 1 for every other
  // end, all of which leave the session locked.
  int ExitStatus() const;
  // What stderr is told when the status is not 0 (a stop by a signal,
  // with `stopped`).
  std::string Why(bool stopped = false) const;

 private:
  void Unlock();

  LockProtocol& compositor_;
  State state_ = State::kIdle;
  std::string why_;
};

}  // namespace kivo
