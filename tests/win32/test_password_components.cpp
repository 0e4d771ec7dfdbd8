// Stand-ins for the system's password components, built as PASSWORD.CPL and MPR.DLL for the saver's
// end-to-end tests. Each call is appended to the file named by KIVO_TEST_LOG; VerifyScreenSavePwd answers
// as KIVO_TEST_VERIFY says ("accept" or anything else for a refusal).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <typename... Values>
void Log(const char* format, Values... values) {
  const char* path = std::getenv("KIVO_TEST_LOG");
  std::FILE* f = path != nullptr ? std::fopen(path, "a") : nullptr;
  if (f == nullptr) return;
  std::fprintf(f, format, values...);
  std::fclose(f);
}

}  // namespace

extern "C" {

#ifdef KIVO_TEST_VERIFIER
__declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND window) {
  Log("verify %lld\n", static_cast<long long>(reinterpret_cast<std::intptr_t>(window)));
  const char* answer = std::getenv("KIVO_TEST_VERIFY");
  return answer != nullptr && std::strcmp(answer, "accept") == 0;
}
#endif

#ifdef KIVO_TEST_CHANGER
__declspec(dllexport) DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND window, DWORD, LPVOID) {
  // The handle's 32 significant bits, as a host prints them: unsigned.
  const auto bits = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
  Log("change %s %lu\n", provider, static_cast<unsigned long>(bits));
  return 0;
}
#endif

// Keeps a library without either entry point from being empty.
__declspec(dllexport) int KivoTestComponent() {
  Log("component\n");
  return 1;
}

}  // extern "C"
