// The lock screen's prompt: the password typed so far (kept in a
// SecretBuffer, never shown), Escape to start again, Enter to have the
// system check it, and a wait that grows with each refusal.
#pragma once

#include <chrono>
#include <cstddef>

#include "host/lock/lock_indicator.h"
#include "host/lock/secret_buffer.h"

namespace kivo {

class LockPrompt {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kCapacity = 512;  // bytes of password, beyond which typing is ignored

  LockPrompt() : secret_(kCapacity) {}

  void Type(const char* utf8, std::size_t length, Clock::time_point now);
  void Backspace();
  void Escape(Clock::time_point now);
  // Enter: true when a check should start now (something typed, no check
  // running, the wait after refusals over). The caller hands Secret() to
  // the system and then wipes it.
  bool Enter(Clock::time_point now);
  SecretBuffer& Secret() { return secret_; }
  // The system's answer to the check started last.
  void Answer(bool accepted, Clock::time_point now);
  // The check was given up before it answered (Escape while checking): no
  // refusal counted, the prompt empty and ready for typing again.
  void Abandon(Clock::time_point now);
  // The check could not be made (KIVO's own failure: no helper, a broken
  // pipe): no refusal counted and no longer wait, the secret wiped, and the
  // prompt shows the failure until typing starts again.
  void Unavailable(Clock::time_point now);
  bool Checking() const { return checking_; }

  IndicatorLook Look(Clock::time_point now) const;
  int Marks() const { return checking_ ? checkedMarks_ : static_cast<int>(secret_.Characters()); }
  int Refusals() const { return refusals_; }
  // How long Enter waits after the n-th refusal in a row: nothing after the
  // first (PAM takes its own time), then 1, 2, 4, ... seconds up to 30.
  static Clock::duration WaitAfter(int refusals);

 private:
  SecretBuffer secret_;
  bool checking_ = false;
  int checkedMarks_ = 0;
  int refusals_ = 0;
  Clock::time_point retryAt_{};       // Enter waits until then
  Clock::time_point refusedUntil_{};  // the refused look lasts until then
  Clock::time_point clearedUntil_{};  // the cleared look lasts until then
  Clock::time_point unavailableUntil_{};  // the unavailable look lasts until then
};

}  // namespace kivo
