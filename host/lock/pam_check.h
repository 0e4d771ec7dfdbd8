// Asking the system whether a password is the user's: PAM, with KIVO's own
// service ("kivo", whose file includes the system's common authentication),
// in a child process, so that the snow and the keyboard never wait for it
// and a module that misbehaves takes nothing else down.
#pragma once

#include <security/pam_appl.h>
#include <sys/types.h>

#include <cstddef>

namespace kivo {

// The PAM functions used, so that tests can stand in for the library.
struct PamFunctions {
  int (*start)(const char* service, const char* user, const pam_conv* conversation, pam_handle_t** handle);
  int (*authenticate)(pam_handle_t* handle, int flags);
  int (*end)(pam_handle_t* handle, int status);
};
extern const PamFunctions kSystemPam;

// PAM's conversation: the password to every prompt that hides what is typed,
// nothing (an empty answer) to other prompts, and messages ignored. The
// answers are PAM's to free, as the interface says. `password` is the
// appdata_ptr.
int AnswerPam(int count, const pam_message** messages, pam_response** responses, void* password);

// True only when PAM authenticates `user` with `password`.
bool PamAccepts(const PamFunctions& pam, const char* service, const char* user, const char* password);

// One check at a time, in a child process. The child's answer comes as a
// byte on a pipe whose end the loop waits on (Fd()), so it is read as soon
// as the child is done; and since a launcher may have left SIGCHLD ignored
// (the kernel then reaps children itself), the byte alone decides when the
// child can no longer be waited for.
class PamCheck {
 public:
  enum class State { kIdle, kChecking, kAccepted, kRefused };
  explicit PamCheck(const PamFunctions& pam = kSystemPam) : pam_(&pam) {}
  PamCheck(const PamCheck&) = delete;
  PamCheck& operator=(const PamCheck&) = delete;
  ~PamCheck();

  // Checks the password in a new child process, which wipes its copy when
  // done; false when no child could be made. The caller wipes its own.
  bool Start(const char* service, const char* user, char* password, std::size_t length);
  // The answer, once the child has given it; each answer is given once,
  // and the state is kIdle again after. Never waits while the child works.
  State Poll();
  // Gives up on the check under way (a module that never answers): the
  // child is killed and waited for; the answer is no answer at all.
  void Abandon();
  bool Checking() const { return child_ > 0; }
  // Readable once the child has answered or ended; -1 while no check runs.
  int Fd() const { return answerFd_; }

 private:
  const PamFunctions* pam_;
  pid_t child_ = -1;
  int answerFd_ = -1;
};

}  // namespace kivo
