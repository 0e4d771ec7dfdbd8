// A child process that answers its parent through a pipe: the readiness of
// a daemon. The pipe is close-on-exec, so a program the child runs never
// holds it open. And reaping children without waiting for them.
#pragma once

#include <sys/types.h>

namespace kivo {

struct PipedChild {
  pid_t pid = -1;  // 0 in the child, the child's in the parent, -1 when fork failed
  int fd = -1;     // the child's write end, or the parent's read end
};

// Forks with a pipe from the child to the parent; each keeps only its end.
PipedChild ForkWithPipe();

// One byte from `fd`, through interruptions: true with it in *byte, false
// at the pipe's end (or on an error).
bool ReadByte(int fd, char* byte);
bool WriteByte(int fd, char byte);

// Waits for `child` to end, through interruptions; false when it cannot be
// waited for (SIGCHLD ignored: the kernel reaped it already).
bool WaitForChild(pid_t child, int* status);

// Reaps `child` if it has ended, never waiting: true once it is gone (reaped
// now, or by the kernel where SIGCHLD is ignored), false while it lives on.
bool ReapIfEnded(pid_t child);

}  // namespace kivo
