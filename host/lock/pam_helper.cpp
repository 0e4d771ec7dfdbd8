#include "host/lock/pam_helper.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/lock/secret_buffer.h"
#include "host/posix/child_process.h"

namespace kivo {
namespace {

// The password's place: in the helper's own memory, locked with the rest.
char g_password[pam_pipe::kMaxPassword + 1];

// PAM's modules get the signals as a fresh process has them: nothing
// blocked, nothing ignored, no handler of kivo's.
void FreshSignals() {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) sigaction(sig, &defaults, nullptr);  // glibc's own refuse: fine
  }
}

// Closes every descriptor but `keep` and `also` (kivo's compositor socket
// among them: a helper that outlives a check must not keep the session's
// lock alive). close_range where the kernel has it, else /proc/self/fd.
void CloseAllBut(int keep, int also) {
  const auto low = static_cast<unsigned>(keep < also ? keep : also);
  const auto high = static_cast<unsigned>(keep < also ? also : keep);
  const bool ranged = (low == 0 || close_range(0, low - 1, 0) == 0) &&
                      (high == low + 1 || close_range(low + 1, high - 1, 0) == 0) && close_range(high + 1, ~0U, 0) == 0;
  if (ranged) return;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return;
  const int own = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    const int fd = std::atoi(entry->d_name);
    if (entry->d_name[0] != '.' && fd != keep && fd != also && fd != own) close(fd);
  }
  closedir(dir);
}

// Standard input, output and error on /dev/null: a file a module opens
// never lands where something writes its errors.
void NullStandardStreams(int keep, int also) {
  const int null = open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2 && null >= 0; ++fd) {
    if (fd != keep && fd != also && fd != null) dup2(null, fd);
  }
  if (null > 2) close(null);
}

// No limit on locked memory: none set, or CAP_IPC_LOCK, which lifts it.
bool LockedMemoryUnlimited() {
  rlimit limit{};
  if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur == RLIM_INFINITY) return true;
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct caps[2] = {};
  return syscall(SYS_capget, &header, caps) == 0 && (caps[CAP_IPC_LOCK / 32].effective & (1u << (CAP_IPC_LOCK % 32))) != 0;
}

bool ReadAll(int fd, void* into, std::size_t length) {
  auto* at = static_cast<char*>(into);
  while (length > 0) {
    const ssize_t got = read(fd, at, length);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

}  // namespace

void RunPamHelper(const PamFunctions& pam, const char* service, const char* user, int passwordFd, int answerFd,
                  pid_t parent) {
  // Ends with kivo, even when kivo ended before this line.
  prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
  if (getppid() != parent) _exit(1);
  FreshSignals();
  prctl(PR_SET_NAME, "kivo-pam", 0, 0, 0);  // told apart from kivo in ps and top
  CloseAllBut(passwordFd, answerFd);
  NullStandardStreams(passwordFd, answerFd);
  ForbidCoreDumps();
  // Every page now and later stays in RAM: the password and PAM's copies
  // of it. But once every later mapping is locked, each counts against
  // RLIMIT_MEMLOCK, and a password hash that maps tens of megabytes
  // (yescrypt's) would fail under a limit that let the rest be locked: the
  // right password refused. So all of it only where nothing limits locked
  // memory; elsewhere the password's own block, and kivo says so once.
  const bool locked = LockedMemoryUnlimited() && mlockall(MCL_CURRENT | MCL_FUTURE) == 0;
  if (!locked) mlock(g_password, sizeof g_password);
  if (!WriteByte(answerFd, locked ? pam_pipe::kLocked : pam_pipe::kUnlocked)) _exit(1);
  for (;;) {
    std::uint32_t length = 0;
    if (!ReadAll(passwordFd, &length, sizeof length)) _exit(0);  // kivo closed the pipe: done
    if (length > pam_pipe::kMaxPassword || !ReadAll(passwordFd, g_password, length)) _exit(1);
    g_password[length] = '\0';
    const bool accepted = PamAccepts(pam, service, user, g_password);
    explicit_bzero(g_password, sizeof g_password);
    if (!WriteByte(answerFd, accepted ? pam_pipe::kYes : pam_pipe::kNo)) _exit(1);
  }
}

}  // namespace kivo
