#include "host/lock/pam_check.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "host/lock/pam_helper.h"
#include "host/lock/secret_buffer.h"
#include "host/posix/child_process.h"

namespace kivo {

const PamFunctions kSystemPam = {pam_start, pam_authenticate, pam_end};

int AnswerPam(int count, const pam_message** messages, pam_response** responses, void* password) {
  if (count <= 0 || count > PAM_MAX_NUM_MSG || messages == nullptr || responses == nullptr) return PAM_CONV_ERR;
  auto* answers = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
  if (answers == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const int style = messages[i]->msg_style;
    if (style != PAM_PROMPT_ECHO_OFF && style != PAM_PROMPT_ECHO_ON) continue;  // messages: nothing to say
    const char* answer = style == PAM_PROMPT_ECHO_OFF ? static_cast<const char*>(password) : "";
    answers[i].resp = strdup(answer != nullptr ? answer : "");
    if (answers[i].resp == nullptr) {
      for (int j = 0; j < i; ++j) {
        if (answers[j].resp != nullptr) {
          explicit_bzero(answers[j].resp, std::strlen(answers[j].resp));
          std::free(answers[j].resp);
        }
      }
      std::free(answers);
      return PAM_BUF_ERR;
    }
  }
  *responses = answers;
  return PAM_SUCCESS;
}

bool PamAccepts(const PamFunctions& pam, const char* service, const char* user, const char* password) {
  const pam_conv conversation{AnswerPam, const_cast<char*>(password)};
  pam_handle_t* handle = nullptr;
  if (pam.start(service, user, &conversation, &handle) != PAM_SUCCESS) return false;
  const int status = pam.authenticate(handle, 0);
  pam.end(handle, status);
  return status == PAM_SUCCESS;
}

namespace {

// Writes all of `parts` in one writev, with SIGPIPE held off: a helper
// that died leaves a broken pipe, which must not end kivo (a launcher may
// have left SIGPIPE at its default). A SIGPIPE this write raised is taken
// back; one that was already pending stays.
bool WriteWhole(int fd, const iovec* parts, int count, std::size_t total) {
  sigset_t pipe, old, pending;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  sigpending(&pending);
  const bool pendingBefore = sigismember(&pending, SIGPIPE) == 1;
  ssize_t written;
  do {
    written = writev(fd, parts, count);
  } while (written < 0 && errno == EINTR);
  if (written < 0 && errno == EPIPE && !pendingBefore) {
    const timespec now{0, 0};
    while (sigtimedwait(&pipe, nullptr, &now) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  return written >= 0 && static_cast<std::size_t>(written) == total;
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

}  // namespace

PamCheck::~PamCheck() {
  Stop();
  ReapKilled();  // what still lives on is the system's to reap once kivo ends
}

bool PamCheck::Begin(const char* service, const char* user) {
  service_ = service;
  user_ = user;
  return helper_ > 0 || Launch();
}

bool PamCheck::Launch() {
  ReapKilled();
  int toHelper[2], fromHelper[2];
  if (pipe2(toHelper, O_CLOEXEC) != 0) return false;
  if (pipe2(fromHelper, O_CLOEXEC) != 0) {
    close(toHelper[0]);
    close(toHelper[1]);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) RunPamHelper(*pam_, service_.c_str(), user_.c_str(), toHelper[0], fromHelper[1], parent);
  close(toHelper[0]);
  close(fromHelper[1]);
  if (pid < 0) {
    close(toHelper[1]);
    close(fromHelper[0]);
    return false;
  }
  // Ours never block: a full or broken pipe is a failure, not a wait.
  fcntl(toHelper[1], F_SETFL, O_NONBLOCK);
  fcntl(fromHelper[0], F_SETFL, O_NONBLOCK);
  helper_ = pid;
  passwordFd_ = toHelper[1];
  answerFd_ = fromHelper[0];
  greeted_ = false;
  return true;
}

void PamCheck::Stop() {
  CloseFd(&passwordFd_);
  CloseFd(&answerFd_);
  checking_ = false;
  if (helper_ <= 0) return;
  kill(helper_, SIGKILL);
  // A module in uninterruptible sleep (a hung network home) ends only when
  // it wakes: reaped later, never waited for.
  if (!ReapIfEnded(helper_)) killed_.push_back(helper_);
  helper_ = -1;
}

void PamCheck::ReapKilled() {
  std::vector<pid_t> living;
  for (const pid_t pid : killed_) {
    if (!ReapIfEnded(pid)) living.push_back(pid);
  }
  killed_.swap(living);
}

bool PamCheck::Start(const char* password, std::size_t length) {
  if (checking_) return false;
  if (length > pam_pipe::kMaxPassword) return false;
  if (helper_ <= 0 && !Launch()) return false;
  auto size = static_cast<std::uint32_t>(length);
  const iovec parts[2] = {{&size, sizeof size}, {const_cast<char*>(password), length}};
  if (!WriteWhole(passwordFd_, parts, 2, sizeof size + length)) {
    Stop();  // started again at the next Start
    return false;
  }
  checking_ = true;
  return true;
}

PamCheck::State PamCheck::Poll() {
  ReapKilled();
  if (!checking_) return State::kIdle;
  for (;;) {
    char byte = 0;
    const ssize_t got = read(answerFd_, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return State::kChecking;
    if (got == 1 && !greeted_) {
      greeted_ = true;
      if (byte != pam_pipe::kLocked) SayMemoryUnlocked();
      continue;
    }
    checking_ = false;
    if (got == 1 && byte == pam_pipe::kYes) return State::kAccepted;
    if (got == 1 && byte == pam_pipe::kNo) return State::kRefused;
    // The pipe's end (the helper died) or a byte that means nothing: ours
    // to mend, not the user's to pay for.
    Stop();
    Launch();
    return State::kFailed;
  }
}

void PamCheck::Abandon() {
  if (!checking_) return;
  Stop();
  Launch();
}

}  // namespace kivo
