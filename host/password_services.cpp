#include "host/password_services.h"

namespace kivo {
namespace {

// Holds the re-entry count for one check and gives it back on every path.
class ReentryHold {
 public:
  explicit ReentryHold(std::int32_t& count) : count_(count) { ++count_; }
  ~ReentryHold() { --count_; }
  ReentryHold(const ReentryHold&) = delete;
  ReentryHold& operator=(const ReentryHold&) = delete;
  bool First() const { return count_ == 1; }

 private:
  std::int32_t& count_;
};

}  // namespace

GateAnswer PasswordGate::Ask(PasswordPlatform& platform, std::intptr_t saverWindow) {
  const ReentryHold hold(reentry_);
  if (!hold.First()) return GateAnswer::kRefuse;

  if (!platform.OpenDesktopKey()) {
    platform.ShowCannotVerify();
    return GateAnswer::kRefuse;
  }
  std::uint32_t usePassword = 0;
  const bool read = platform.ReadUsePassword(&usePassword);
  platform.CloseDesktopKey();
  // An unreadable setting means the user never asked for a password.
  if (!read || usePassword == 0) return GateAnswer::kAllow;

  if (!platform.LoadVerifier()) {
    platform.ShowCannotVerify();
    return GateAnswer::kRefuse;
  }
  if (!platform.FindVerifyEntry()) {
    platform.ShowCannotVerify();
    platform.FreeVerifier();
    return GateAnswer::kRefuse;
  }
  const int verified = platform.CallVerify(saverWindow);
  platform.FreeVerifier();
  return verified != 0 ? GateAnswer::kAllow : GateAnswer::kRefuse;
}

void ChangeSaverPassword(ChangePasswordPlatform& platform, std::intptr_t hostWindow) {
  if (!platform.LoadChanger()) {
    platform.ShowChangerMissing();
    return;
  }
  if (platform.FindChangeEntry()) platform.CallChange(hostWindow);
  platform.FreeChanger();
}

}  // namespace kivo
