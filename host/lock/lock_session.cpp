#include "host/lock/lock_session.h"

namespace kivo {

bool LockSession::Take(const std::string& refusal) {
  if (state_ != State::kIdle) return !Over();
  // Receivers first: the compositor may answer anything asked from here on
  // (the lock, the keyboard's keymap) within the same roundtrip.
  compositor_.Listen();
  if (!refusal.empty()) {
    state_ = State::kRefused;
    why_ = refusal;
    return false;
  }
  compositor_.Lock();
  state_ = State::kAsked;
  if (!compositor_.Roundtrip() && state_ == State::kAsked) {
    OnConnectionLost("lost the connection to the Wayland compositor while asking for the lock");
  }
  return !Over();
}

void LockSession::OnLocked() {
  if (state_ == State::kAsked) {
    state_ = State::kLocked;
  } else if (state_ == State::kUnlockDue) {
    state_ = State::kLocked;
    Unlock();
  }
}

void LockSession::OnFinished() {
  if (state_ == State::kAsked || state_ == State::kUnlockDue) {
    // No lock was ever granted: the compositor said no.
    state_ = State::kRefused;
    why_ = "the compositor refused to lock the session (is it locked already?)";
  } else if (state_ == State::kLocked) {
    state_ = State::kEnded;
  } else {
    return;
  }
  compositor_.Forget();
}

void LockSession::OnAccepted() {
  if (state_ == State::kLocked) {
    Unlock();
  } else if (state_ == State::kAsked) {
    // Unlocking before `locked` is a protocol error that would leave the
    // session locked with nobody to unlock it: the yes waits.
    state_ = State::kUnlockDue;
  }
}

void LockSession::OnConnectionLost(const std::string& why) {
  // Over already (given back, refused, ended): nothing more is lost.
  if (Over() || state_ == State::kIdle) return;
  state_ = State::kLost;
  why_ = why;
}

void LockSession::Unlock() {
  compositor_.Unlock();
  // Given back only once the compositor has taken it in.
  if (compositor_.Roundtrip()) {
    state_ = State::kUnlocked;
  } else {
    state_ = State::kLost;
    why_ = "lost the connection to the Wayland compositor as the session was given back";
  }
}

bool LockSession::Over() const {
  return state_ == State::kRefused || state_ == State::kUnlocked || state_ == State::kEnded ||
         state_ == State::kLost;
}

int LockSession::ExitStatus() const {
  switch (state_) {
    case State::kUnlocked:
      return 0;
    case State::kIdle:
    case State::kRefused:
      return 2;
    default:
      return 1;
  }
}

std::string LockSession::Why(bool stopped) const {
  switch (state_) {
    case State::kUnlocked:
      return "";
    case State::kIdle:
    case State::kRefused:
      return why_;
    case State::kEnded:
      return "the compositor ended the lock";
    case State::kLost:
      return why_ + "; the session stays locked";
    default:
      return stopped ? "stopped; the session stays locked" : "ended; the session stays locked";
  }
}

}  // namespace kivo
