#include "host/posix/daemon.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kivo {

Daemon::~Daemon() {
  if (readyFd_ >= 0) close(readyFd_);
}

bool Daemon::Detach() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    close(fds[0]);
    readyFd_ = fds[1];
    setsid();
    return true;
  }
  // The parent: one byte means ready; the end of the pipe without one means
  // the child ended (or gave up) first, and its exit code is the answer.
  close(fds[1]);
  char byte = 0;
  ssize_t got;
  do {
    got = read(fds[0], &byte, 1);
  } while (got < 0 && errno == EINTR);
  if (got == 1) _exit(0);
  int status = 0;
  pid_t done;
  do {
    done = waitpid(child, &status, 0);
  } while (done < 0 && errno == EINTR);
  _exit(done == child && WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

void Daemon::Ready() {
  if (readyFd_ < 0) return;
  const char byte = 'R';
  ssize_t written;
  do {
    written = write(readyFd_, &byte, 1);
  } while (written < 0 && errno == EINTR);
  close(readyFd_);
  readyFd_ = -1;
}

}  // namespace kivo
