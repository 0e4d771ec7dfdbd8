#include "host/lock/grace_keeper.h"

#include <cstdio>

namespace kivo {

GraceKeeper::GraceKeeper(long graceSeconds) : guard_(logind_.Available() ? &logind_ : nullptr) {
  if (graceSeconds < 0) return;
  grace_ = std::make_unique<GracePeriod>(std::chrono::seconds(graceSeconds), BootClockNow());
  guard_.GraceBegins();
  if (!logind_.Available()) {
    std::fprintf(stderr, "kivo: sleep is not guarded (%s): a machine put to sleep during the grace wakes unlocked\n",
                 logind_.Why().c_str());
  }
}

void GraceKeeper::Wake(const std::function<void()>& lock, const std::function<void()>& readInput) {
  logind_.Process();
  const bool sleepComing = logind_.TakeSleepComing(), lockAsked = logind_.TakeLockAsked();
  if (grace_ == nullptr) return readInput();
  if (SleepGuard::LockNow(sleepComing, lockAsked)) grace_->EndNow();
  // The deadline before any input of this wake: a machine that slept
  // through it wakes locked.
  grace_->Wake(BootClockNow(), lock, readInput);
}

GraceKeeper::Clock::time_point GraceKeeper::Deadline() const {
  return InGrace() ? Clock::now() + grace_->Left(BootClockNow()) : Clock::time_point::max();
}

}  // namespace kivo
