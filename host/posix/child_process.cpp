#include "host/posix/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace kivo {

PipedChild ForkWithPipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return {};
  }
  close(fds[pid == 0 ? 0 : 1]);
  return PipedChild{pid, fds[pid == 0 ? 1 : 0]};
}

bool ReadByte(int fd, char* byte) {
  ssize_t got;
  do {
    got = read(fd, byte, 1);
  } while (got < 0 && errno == EINTR);
  return got == 1;
}

bool WriteByte(int fd, char byte) {
  ssize_t written;
  do {
    written = write(fd, &byte, 1);
  } while (written < 0 && errno == EINTR);
  return written == 1;
}

bool WaitForChild(pid_t child, int* status) {
  pid_t done;
  do {
    done = waitpid(child, status, 0);
  } while (done < 0 && errno == EINTR);
  return done == child;
}

bool ReapIfEnded(pid_t child) {
  pid_t done;
  int status = 0;
  do {
    done = waitpid(child, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  return done == child || (done < 0 && errno == ECHILD);
}

}  // namespace kivo
