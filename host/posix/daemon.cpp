#include "host/posix/daemon.h"

#include <sys/wait.h>
#include <unistd.h>

#include "host/posix/child_process.h"

namespace kivo {

Daemon::~Daemon() {
  if (readyFd_ >= 0) close(readyFd_);
}

bool Daemon::Detach() {
  const PipedChild child = ForkWithPipe();
  if (child.pid < 0) return false;
  if (child.pid == 0) {
    readyFd_ = child.fd;
    setsid();
    return true;
  }
  // The parent: one byte means ready; the end of the pipe without one means
  // the child ended (or gave up) first, and its exit code is the answer.
  char byte = 0;
  if (ReadByte(child.fd, &byte)) _exit(0);
  int status = 0;
  _exit(WaitForChild(child.pid, &status) && WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

void Daemon::Ready() {
  if (readyFd_ < 0) return;
  WriteByte(readyFd_, 'R');
  close(readyFd_);
  readyFd_ = -1;
}

}  // namespace kivo
