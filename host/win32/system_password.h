// The system's screen-saver password components, loaded by name on each use.
#pragma once

#include <windows.h>

#include "host/password_services.h"

namespace kivo {

class SystemPasswordVerifier : public PasswordPlatform {
 public:
  ~SystemPasswordVerifier() override;
  bool OpenDesktopKey() override;
  bool ReadUsePassword(StoredUsePassword* value) override;
  void CloseDesktopKey() override;
  bool LoadVerifier() override;
  bool FindVerifyEntry() override;
  int CallVerify(std::intptr_t saverWindow) override;
  void FreeVerifier() override;
  void ShowCannotVerify() override;

 private:
  using VerifyProc = BOOL(WINAPI*)(HWND);
  HKEY key_ = nullptr;
  HMODULE library_ = nullptr;
  VerifyProc verify_ = nullptr;
};

class SystemPasswordChanger : public ChangePasswordPlatform {
 public:
  ~SystemPasswordChanger() override;
  bool LoadChanger() override;
  bool FindChangeEntry() override;
  void CallChange(std::intptr_t hostWindow) override;
  void FreeChanger() override;
  void ShowChangerMissing() override;

 private:
  using ChangeProc = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
  HMODULE library_ = nullptr;
  ChangeProc change_ = nullptr;
};

}  // namespace kivo
