// Hand-over to the system's screen-saver password components. The saver
// stores and compares no password; it asks the system whether closing is
// allowed, and lets the system change the password.
#pragma once

#include <cstdint>

namespace kivo {

// What the gate needs from the platform, one call per step so that the order
// of registry access, library loading and messages is the gate's own.
class PasswordPlatform {
 public:
  virtual ~PasswordPlatform() = default;
  // Opens (creating if needed) the user's desktop settings key.
  virtual bool OpenDesktopKey() = 0;
  // Reads "ScreenSaveUsePassword" as 4 bytes; false if missing or longer.
  virtual bool ReadUsePassword(std::uint32_t* value) = 0;
  virtual void CloseDesktopKey() = 0;
  virtual bool LoadVerifier() = 0;       // "PASSWORD.CPL"
  virtual bool FindVerifyEntry() = 0;    // "VerifyScreenSavePwd"
  virtual int CallVerify(std::intptr_t saverWindow) = 0;
  virtual void FreeVerifier() = 0;
  virtual void ShowCannotVerify() = 0;   // the "cannot verify" message box
};

class ChangePasswordPlatform {
 public:
  virtual ~ChangePasswordPlatform() = default;
  virtual bool LoadChanger() = 0;        // "MPR.DLL"
  virtual bool FindChangeEntry() = 0;    // "PwdChangePasswordA"
  virtual void CallChange(std::intptr_t hostWindow) = 0;  // ("SCRSAVE", host, 0, 0)
  virtual void FreeChanger() = 0;
  virtual void ShowChangerMissing() = 0;
};

enum class GateAnswer { kAllow = 0, kRefuse = 1 };

class PasswordGate {
 public:
  // Asked on every close request outside a preview. While the system's
  // dialog is open, further close requests arrive nested and are refused.
  GateAnswer Ask(PasswordPlatform& platform, std::intptr_t saverWindow);

  bool CheckInProgress() const { return reentry_ != 0; }

 private:
  std::int32_t reentry_ = 0;
};

void ChangeSaverPassword(ChangePasswordPlatform& platform, std::intptr_t hostWindow);

}  // namespace kivo
