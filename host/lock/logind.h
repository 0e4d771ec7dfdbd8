// logind, through sd-bus (libsystemd's; elogind's and basu's have the same
// interface), as SleepGuard needs it: a delay inhibitor for sleep, the
// session's LockedHint, and the signals that sleep is coming
// (PrepareForSleep) or that the session is to be locked (Lock). Calls never
// wait on the bus, so a session manager that hangs cannot hold up the lock.
#pragma once

#include <string>

#include "host/lock/sleep_guard.h"

struct sd_bus;

namespace kivo {

// Whether this build speaks to logind at all (sd-bus was there to build with).
bool LogindBuiltIn();

class Logind : public SleepGuard::Manager {
 public:
  // Connects to the system bus and finds this process's session.
  Logind();
  ~Logind() override;
  Logind(const Logind&) = delete;
  Logind& operator=(const Logind&) = delete;

  // False without a system bus, logind, or a session of ours: why, in Why().
  bool Available() const { return bus_ != nullptr; }
  const std::string& Why() const { return why_; }
  // The bus's descriptor for the loop to wait on; -1 when not available.
  int Fd() const;
  // Reads whatever arrived; what it said is then in the flags below.
  void Process();
  bool TakeSleepComing() { return Take(&sleepComing_); }
  bool TakeLockAsked() { return Take(&lockAsked_); }

  void DelaySleep() override;
  void AllowSleep() override;
  void SetLockedHint(bool locked) override;

 private:
  static bool Take(bool* flag) {
    const bool was = *flag;
    *flag = false;
    return was;
  }
  void Flush();

  sd_bus* bus_ = nullptr;
  std::string session_;  // the session's object path
  std::string why_;
  int inhibitor_ = -1;   // logind's pipe: sleep waits while it is open
  bool wantDelay_ = false;  // the inhibitor is asked for (and not let go since)
  bool sleepComing_ = false;
  bool lockAsked_ = false;
};

}  // namespace kivo
