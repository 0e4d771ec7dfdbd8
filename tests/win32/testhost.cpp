// kivo-testhost: the Windows side of the saver's end-to-end tests.
//
//   kivo-testhost probe           describe the running saver window, if any
//   kivo-testhost pane W H SAVER CONTROL
//                                 open a W x H preview pane, start SAVER /p
//                                 with its handle, report the saver window it
//                                 finds inside after 3 s, destroy the pane once
//                                 the file CONTROL exists, and report whether
//                                 the saver then ended
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int Probe() {
  HWND saver = FindWindowA("KIVO.gwp", nullptr);
  if (saver == nullptr) {
    std::printf("none\n");
    return 1;
  }
  RECT r{};
  GetWindowRect(saver, &r);
  const LONG_PTR exStyle = GetWindowLongPtrA(saver, GWL_EXSTYLE);
  const LONG_PTR style = GetWindowLongPtrA(saver, GWL_STYLE);
  std::printf("window %d %d %d %d topmost=%d popup=%d visible=%d screen=%dx%d\n", static_cast<int>(r.left),
              static_cast<int>(r.top), static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top),
              (exStyle & WS_EX_TOPMOST) != 0, (style & WS_POPUP) != 0, IsWindowVisible(saver) != 0,
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return 0;
}

LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  while (GetTickCount() < end) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    Sleep(10);
  }
}

int Pane(int width, int height, const char* saver, const char* control) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = PaneProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "KivoTestPane";
  RegisterClassA(&wc);
  HWND pane = CreateWindowExA(0, wc.lpszClassName, "KIVO test pane", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100, width, height,
                              nullptr, nullptr, wc.hInstance, nullptr);
  if (pane == nullptr) return 2;
  std::string command = std::string("\"") + saver + "\" /p " + std::to_string(reinterpret_cast<std::intptr_t>(pane));
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
  std::printf("pane %d %d %d %d\n", 100, 100, width, height);
  std::fflush(stdout);
  Pump(3000);
  HWND child = FindWindowExA(pane, nullptr, "KIVO.gwp", nullptr);
  RECT rc{};
  if (child != nullptr) GetWindowRect(child, &rc);
  std::printf("child %s %d %d %d %d visible=%d\n", child != nullptr ? "KIVO.gwp" : "none", static_cast<int>(rc.left),
              static_cast<int>(rc.top), static_cast<int>(rc.right - rc.left), static_cast<int>(rc.bottom - rc.top),
              child != nullptr && IsWindowVisible(child) != 0);
  std::fflush(stdout);
  while (GetFileAttributesA(control) == INVALID_FILE_ATTRIBUTES) {
    Pump(100);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
      std::printf("saver ended early with %lu\n", static_cast<unsigned long>(code));
      return 4;
    }
  }
  DestroyWindow(pane);
  for (int i = 0; i < 200; ++i) {
    Pump(50);
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
      DWORD code = 0;
      GetExitCodeProcess(pi.hProcess, &code);
      std::printf("saver ended with %lu\n", static_cast<unsigned long>(code));
      return 0;
    }
  }
  std::printf("saver still running after its pane was destroyed\n");
  TerminateProcess(pi.hProcess, 9);
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "probe") return Probe();
  if (verb == "pane" && argc == 6) return Pane(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argv[5]);
  std::fprintf(stderr, "usage: kivo-testhost probe | pane W H SAVER CONTROL\n");
  return 2;
}
