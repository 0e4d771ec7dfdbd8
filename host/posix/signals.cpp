#include "host/posix/signals.h"

#include <csignal>
#include <initializer_list>

namespace kivo {
namespace {

// A signal handler can do nothing but set a flag.
volatile sig_atomic_t g_stopRequested = 0;
void RequestStop(int) { g_stopRequested = 1; }

sigset_t g_waitMask;
bool g_installed = false;

void SetDisposition(int sig, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
}

}  // namespace

void ResetInheritedSignals(bool locking) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const int sig : {SIGCHLD, SIGTERM, SIGINT, SIGALRM, SIGUSR1, SIGUSR2}) SetDisposition(sig, SIG_DFL);
  SetDisposition(SIGPIPE, SIG_IGN);
  for (const int sig : {SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU}) SetDisposition(sig, locking ? SIG_IGN : SIG_DFL);
}

void InstallStopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigprocmask(SIG_BLOCK, &stop, &g_waitMask);
  sigdelset(&g_waitMask, SIGTERM);
  sigdelset(&g_waitMask, SIGINT);
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: the wait returns at once
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  g_installed = true;
}

bool StopRequested() { return g_stopRequested != 0; }

const sigset_t* WaitMask() { return g_installed ? &g_waitMask : nullptr; }

}  // namespace kivo
