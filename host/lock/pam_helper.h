// The password checker's own process, forked (not exec'd) from kivo when
// the lock is taken. It keeps nothing of kivo's but its two pipes, locks its
// memory, ends with kivo, and answers one password at a time.
#pragma once

#include <limits.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "host/lock/pam_check.h"

namespace kivo {

// What goes down the pipes. To the helper: a password as its length (a
// std::uint32_t) and its bytes, in one write. From it: a hello once, then
// one answer per password.
namespace pam_pipe {
constexpr char kLocked = 'L';    // hello: the helper's memory is locked
constexpr char kUnlocked = 'U';  // hello: it could not be locked
constexpr char kYes = 'Y';
constexpr char kNo = 'N';
// One write of at most PIPE_BUF bytes reaches the pipe whole or not at all.
constexpr std::size_t kMaxPassword = PIPE_BUF - sizeof(std::uint32_t);
}  // namespace pam_pipe

// In the child, right after fork: never returns. `passwordFd` and
// `answerFd` are its ends of the two pipes; `parent` is kivo's pid.
[[noreturn]] void RunPamHelper(const PamFunctions& pam, const char* service, const char* user, int passwordFd,
                               int answerFd, pid_t parent);

}  // namespace kivo
