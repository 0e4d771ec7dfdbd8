#include "host/win32/system_password.h"

#include <cstring>

#include "settings/win32/japanese_message.h"

namespace kivo {

SystemPasswordVerifier::~SystemPasswordVerifier() {
  CloseDesktopKey();
  FreeVerifier();
}

bool SystemPasswordVerifier::OpenDesktopKey() {
  char emptyClass[] = "";
  return RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\desktop", 0, emptyClass, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS;
}

bool SystemPasswordVerifier::ReadUsePassword(StoredUsePassword* value) {
  constexpr char kName[] = "ScreenSaveUsePassword";
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(key_, kName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    // A flag spelt out needs a few characters; a longer text is no flag.
    char text[64] = {};
    DWORD length = sizeof text - 1;
    if (RegQueryValueExA(key_, kName, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &length) != ERROR_SUCCESS) {
      return false;
    }
    value->isText = true;
    value->text.assign(text, strnlen(text, length));
    return true;
  }
  DWORD stored = 0;
  size = sizeof stored;
  if (RegQueryValueExA(key_, kName, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &size) != ERROR_SUCCESS) {
    return false;
  }
  value->isText = false;
  value->number = stored;
  return true;
}

void SystemPasswordVerifier::CloseDesktopKey() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}

bool SystemPasswordVerifier::LoadVerifier() { return library_.Load("PASSWORD.CPL"); }

bool SystemPasswordVerifier::FindVerifyEntry() {
  verify_ = library_.Entry<VerifyProc>("VerifyScreenSavePwd");
  return verify_ != nullptr;
}

int SystemPasswordVerifier::CallVerify(std::intptr_t saverWindow) {
  return verify_(reinterpret_cast<HWND>(saverWindow)) != 0 ? 1 : 0;
}

void SystemPasswordVerifier::FreeVerifier() {
  library_.Free();
  verify_ = nullptr;
}

void SystemPasswordVerifier::ShowCannotVerify() {
  ShowJapaneseMessage(sjis::kCannotVerifyPassword, sjis::kReadErrorCaption, MB_OK);
}

bool SystemPasswordChanger::LoadChanger() { return library_.Load("MPR.DLL"); }

bool SystemPasswordChanger::FindChangeEntry() {
  change_ = library_.Entry<ChangeProc>("PwdChangePasswordA");
  return change_ != nullptr;
}

void SystemPasswordChanger::CallChange(std::intptr_t hostWindow) {
  change_("SCRSAVE", reinterpret_cast<HWND>(hostWindow), 0, nullptr);
}

void SystemPasswordChanger::FreeChanger() {
  library_.Free();
  change_ = nullptr;
}

void SystemPasswordChanger::ShowChangerMissing() {
  ShowJapaneseMessage(sjis::kMprMissing, sjis::kKivoCaption, MB_OK);
}

}  // namespace kivo
