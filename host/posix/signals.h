// Signals as kivo wants them, whatever the program that started it left
// behind: an exec keeps ignored signals ignored and blocked signals
// blocked, so a launcher that ignores SIGCHLD (a common habit) would make
// every wait for a child fail.
#pragma once

#include <signal.h>

namespace kivo {

// Every signal unblocked, SIGCHLD and the stop signals at their defaults,
// SIGPIPE ignored (a write to a pipe whose reader is gone fails instead).
// With `locking`, the hang-up and terminal stop signals are ignored too:
// a closed terminal or Ctrl+Z must not leave a session locked by a locker
// that can no longer take a password.
void ResetInheritedSignals(bool locking);

// SIGTERM and SIGINT ask the loop to end. They are blocked except while the
// loop waits (WaitMask()), so one that arrives at any other moment is
// pending until that wait, which it then ends at once: none is lost
// between a look at StopRequested() and the wait.
void InstallStopSignals();
bool StopRequested();
// The signal mask while waiting: the stop signals let through (null, the
// mask as it is, before InstallStopSignals).
const sigset_t* WaitMask();

}  // namespace kivo
