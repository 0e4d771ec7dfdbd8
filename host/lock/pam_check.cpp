#include "host/lock/pam_check.h"

#include "host/posix/child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

constexpr char kYes = 'Y';

}  // namespace

PamCheck::~PamCheck() { Abandon(); }

bool PamCheck::Start(const char* service, const char* user, char* password, std::size_t length) {
  if (child_ > 0) return false;
  const PipedChild child = ForkWithPipe();
  if (child.pid < 0) return false;
  if (child.pid == 0) {
    // The child has its own copy of the password (fork copies memory, not
    // through any file, argument or variable): it asks PAM, wipes the copy
    // and answers with one byte and its exit code. PAM's modules get the
    // signals as a fresh process has them.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    const bool accepted = PamAccepts(*pam_, service, user, password);
    explicit_bzero(password, length);
    if (accepted && !WriteByte(child.fd, kYes)) _exit(1);
    _exit(accepted ? 0 : 1);
  }
  child_ = child.pid;
  answerFd_ = child.fd;
  return true;
}

PamCheck::State PamCheck::Poll() {
  if (child_ <= 0) return State::kIdle;
  pollfd ready{answerFd_, POLLIN, 0};
  if (poll(&ready, 1, 0) == 0) return State::kChecking;
  // The byte, or the end of the pipe: the child is done.
  char byte = 0;
  const bool said = ReadByte(answerFd_, &byte);
  int status = 0;
  const bool reaped = WaitForChild(child_, &status);
  const bool reapedByTheKernel = !reaped && errno == ECHILD;
  close(answerFd_);
  answerFd_ = -1;
  child_ = -1;
  // Only a child that said yes and ran to its end is a yes; where it cannot
  // be waited for, its yes is the last thing it does before ending.
  const bool ranToItsEnd = reaped ? WIFEXITED(status) && WEXITSTATUS(status) == 0 : reapedByTheKernel;
  return said && byte == kYes && ranToItsEnd ? State::kAccepted : State::kRefused;
}

void PamCheck::Abandon() {
  if (child_ <= 0) return;
  kill(child_, SIGKILL);
  int status = 0;
  WaitForChild(child_, &status);
  close(answerFd_);
  answerFd_ = -1;
  child_ = -1;
}

}  // namespace kivo
