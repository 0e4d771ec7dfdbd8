// Asking the system whether a password is the user's: PAM, with KIVO's own
// service ("kivo", whose file includes the system's common authentication),
// in a helper process, so that the snow and the keyboard never wait for it
// and a module that misbehaves takes nothing else down.
#pragma once

#include <security/pam_appl.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

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

// One check at a time, by one helper process started before any password
// exists (host/lock/pam_helper.h), so that no fork ever copies one. The
// helper's answer comes as a byte on a pipe whose end the loop waits on
// (Fd()). A helper that cannot be started, or dies, or whose pipe breaks is
// a failure of KIVO's, never a refusal: the check answers kFailed and a new
// helper is started. Nothing here waits for the helper or blocks on it.
class PamCheck {
 public:
  enum class State { kIdle, kChecking, kAccepted, kRefused, kFailed };
  explicit PamCheck(const PamFunctions& pam = kSystemPam) : pam_(&pam) {}
  PamCheck(const PamCheck&) = delete;
  PamCheck& operator=(const PamCheck&) = delete;
  // Ends the helper; never blocks.
  ~PamCheck();

  // Starts the helper that will check passwords for `user`; false when it
  // cannot be started now (Start tries again).
  bool Begin(const char* service, const char* user);
  // Hands the password to the helper (the caller wipes its copy at once);
  // false on a failure of KIVO's (no helper, a broken pipe), not a refusal.
  bool Start(const char* password, std::size_t length);
  // The answer, once the helper has given it; each answer is given once,
  // and the state is kIdle again after. Never waits.
  State Poll();
  // Gives up on the check under way (a module that never answers): the
  // helper is killed, reaped when it can be, and another one started.
  void Abandon();
  bool Checking() const { return checking_; }
  // Readable once the helper has answered or ended; -1 while no check runs.
  int Fd() const { return checking_ ? answerFd_ : -1; }
  pid_t Helper() const { return helper_; }

 private:
  bool Launch();
  void Stop();
  void ReapKilled();

  const PamFunctions* pam_;
  std::string service_, user_;
  pid_t helper_ = -1;
  int passwordFd_ = -1;  // ours to write: the password's length, then its bytes
  int answerFd_ = -1;    // ours to read: the helper's hello, then one byte per check
  bool greeted_ = false;
  bool checking_ = false;
  std::vector<pid_t> killed_;  // killed helpers not yet reaped
};

}  // namespace kivo
