#include "host/lock/pam_check.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

PamCheck::~PamCheck() {
  if (child_ <= 0) return;
  kill(child_, SIGKILL);
  waitpid(child_, nullptr, 0);
}

bool PamCheck::Start(const char* service, const char* user, char* password, std::size_t length) {
  if (child_ > 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // The child has its own copy of the password (fork copies memory, not
    // through any file, argument or variable): it asks PAM, wipes the copy
    // and answers with its exit code.
    const bool accepted = PamAccepts(*pam_, service, user, password);
    explicit_bzero(password, length);
    _exit(accepted ? 0 : 1);
  }
  child_ = child;
  return true;
}

PamCheck::State PamCheck::Poll() {
  if (child_ <= 0) return State::kIdle;
  int status = 0;
  const pid_t done = waitpid(child_, &status, WNOHANG);
  if (done == 0) return State::kChecking;
  child_ = -1;
  // Only a child that ran to its end and said yes is a yes.
  return done > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? State::kAccepted : State::kRefused;
}

}  // namespace kivo
