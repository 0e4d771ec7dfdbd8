// Hand-over to the system's screen-saver password components. The saver
// stores and compares no password; it asks the system whether closing is
// allowed, and lets the system change the password.
#pragma once

#include <cstdint>
#include <string>

namespace kivo {

// "ScreenSaveUsePassword" as the registry holds it: a number in 4 bytes, or
// the text of a number, the way current systems store their desktop values.
struct StoredUsePassword {
  bool isText = false;
  std::uint32_t number = 0;  // the 4 bytes read, when not text
  std::string text;          // without its terminator, when text
};

// Whether the stored setting asks for a password: a number that is not 0,
// or a text that spells one by the C library's atol rules ("1" yes, "0" no).
bool PasswordWanted(const StoredUsePassword& stored);

// What the gate needs from the platform, one call per step so that the order
// of registry access, library loading and messages is the gate's own.
class PasswordPlatform {
 public:
  virtual ~PasswordPlatform() = default;
  // Opens (creating if needed) the user's desktop settings key.
  virtual bool OpenDesktopKey() = 0;
  // Reads "ScreenSaveUsePassword": text values as text, any other type as
  // 4 bytes; false if missing or too long to be a flag.
  virtual bool ReadUsePassword(StoredUsePassword* value) = 0;
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
