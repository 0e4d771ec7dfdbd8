// Going on in the background once ready: the process that started kivo
// (an idle daemon waiting before the machine sleeps, say) gets its answer
// when the work is under way, and kivo runs on in a child of its own
// session. Everything the work needs is made after the fork, in the process
// that keeps it: memory locks, for one, do not survive a fork.
#pragma once

namespace kivo {

class Daemon {
 public:
  Daemon() = default;
  ~Daemon();
  Daemon(const Daemon&) = delete;
  Daemon& operator=(const Daemon&) = delete;

  // Forks. The parent waits and never returns: it ends with 0 once the
  // child calls Ready(), or with the child's own exit code (1 if it was
  // killed) when the child ends first. The child, in a new session, gets
  // true. False, in the one process, when no child could be made.
  bool Detach();
  // In the child: the parent may end now. Once; nothing before Detach().
  void Ready();

 private:
  int readyFd_ = -1;  // the child's end of the pipe to the waiting parent
};

}  // namespace kivo
