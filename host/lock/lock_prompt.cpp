#include "host/lock/lock_prompt.h"

#include <algorithm>

namespace kivo {

void LockPrompt::Type(const char* utf8, std::size_t length, Clock::time_point now) {
  if (checking_) return;
  secret_.Append(utf8, length);  // full: the character is dropped
  refusedUntil_ = clearedUntil_ = unavailableUntil_ = now;
}

void LockPrompt::Backspace() {
  if (!checking_) secret_.DropLast();
}

void LockPrompt::Escape(Clock::time_point now) {
  if (checking_) return;
  secret_.Wipe();
  refusedUntil_ = unavailableUntil_ = now;
  clearedUntil_ = now + std::chrono::milliseconds(1500);
}

bool LockPrompt::Enter(Clock::time_point now) {
  if (checking_ || secret_.Length() == 0 || now < retryAt_) return false;
  checking_ = true;
  checkedMarks_ = static_cast<int>(secret_.Characters());
  return true;
}

void LockPrompt::Answer(bool accepted, Clock::time_point now) {
  secret_.Wipe();
  checking_ = false;
  if (accepted) {
    refusals_ = 0;
    return;
  }
  ++refusals_;
  retryAt_ = now + WaitAfter(refusals_);
  refusedUntil_ = std::max(retryAt_, now + std::chrono::milliseconds(1500));
}

void LockPrompt::Abandon(Clock::time_point now) {
  secret_.Wipe();
  checking_ = false;
  refusedUntil_ = unavailableUntil_ = now;
  clearedUntil_ = now + std::chrono::milliseconds(1500);
}

void LockPrompt::Unavailable(Clock::time_point now) {
  secret_.Wipe();
  checking_ = false;
  refusedUntil_ = clearedUntil_ = now;
  unavailableUntil_ = now + std::chrono::milliseconds(3000);
}

LockPrompt::Clock::duration LockPrompt::WaitAfter(int refusals) {
  if (refusals <= 1) return Clock::duration::zero();
  const int doublings = std::min(refusals - 2, 5);
  return std::min<Clock::duration>(std::chrono::seconds(1 << doublings), std::chrono::seconds(30));
}

IndicatorLook LockPrompt::Look(Clock::time_point now) const {
  if (checking_) return IndicatorLook::kChecking;
  if (now < refusedUntil_) return IndicatorLook::kRefused;
  if (now < unavailableUntil_) return IndicatorLook::kUnavailable;
  if (now < clearedUntil_) return IndicatorLook::kCleared;
  return secret_.Length() > 0 ? IndicatorLook::kTyping : IndicatorLook::kIdle;
}

}  // namespace kivo
