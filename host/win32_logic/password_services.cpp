#include "host/win32_logic/password_services.h"

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

bool PasswordWanted(const StoredUsePassword& stored) {
  if (!stored.isText) return stored.number != 0;
  // atol's number is non-zero exactly when a digit other than 0 comes
  // before the first character that ends it.
  std::size_t i = 0;
  const std::string& t = stored.text;
  while (i < t.size() && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
    if (t[i] != '0') return true;
  }
  return false;
}

GateAnswer PasswordGate::Ask(PasswordPlatform& platform, std::intptr_t saverWindow) {
  const ReentryHold hold(reentry_);
  if (!hold.First()) return GateAnswer::kRefuse;

  if (!platform.OpenDesktopKey()) {
    platform.ShowCannotVerify();
    return GateAnswer::kRefuse;
  }
  StoredUsePassword usePassword;
  const bool read = platform.ReadUsePassword(&usePassword);
  platform.CloseDesktopKey();
  // An unreadable setting means the user never asked for a password.
  if (!read || !PasswordWanted(usePassword)) return GateAnswer::kAllow;

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
