// The system's screen-saver password components, loaded by name on each use.
#pragma once

#include <windows.h>

#include "host/win32_logic/password_services.h"

namespace kivo {

// A system component, loaded by file name for one use and freed after it.
class ComponentLibrary {
 public:
  ComponentLibrary() = default;
  ~ComponentLibrary() { Free(); }
  ComponentLibrary(const ComponentLibrary&) = delete;
  ComponentLibrary& operator=(const ComponentLibrary&) = delete;

  bool Load(const char* fileName) {
    module_ = LoadLibraryA(fileName);
    return module_ != nullptr;
  }
  // GetProcAddress returns a generic pointer; the entry's real type is known
  // only by name. Going through void* keeps the cast free of warnings.
  template <typename Proc>
  Proc Entry(const char* name) const {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  void Free() {
    if (module_ != nullptr) FreeLibrary(module_);
    module_ = nullptr;
  }

 private:
  HMODULE module_ = nullptr;
};

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
  ComponentLibrary library_;
  VerifyProc verify_ = nullptr;
};

class SystemPasswordChanger : public ChangePasswordPlatform {
 public:
  bool LoadChanger() override;
  bool FindChangeEntry() override;
  void CallChange(std::intptr_t hostWindow) override;
  void FreeChanger() override;
  void ShowChangerMissing() override;

 private:
  using ChangeProc = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
  ComponentLibrary library_;
  ChangeProc change_ = nullptr;
};

}  // namespace kivo
