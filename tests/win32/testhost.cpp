// kivo-testhost: the Windows side of the saver's end-to-end tests.
//   kivo-testhost bits       32 or 64: whether this Wine runs a build of that word size at all
//   kivo-testhost probe      the running saver window, if any
//   kivo-testhost monitors   the saver's windows on the other monitors, if any
//   kivo-testhost dialog     the settings dialog and each of its controls, and whether each lies
//                            wholly inside the dialog's client area
//   kivo-testhost pane W H SAVER CONTROL
//                            open a W x H preview pane, start SAVER /p with its handle, report the
//                            saver window inside after 3 s, destroy the pane once the file CONTROL
//                            exists, and report whether the saver then ended
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ClassOf(HWND window) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}
// " X Y W H" of a window on the screen; an empty rectangle for none.
RECT PrintRect(HWND window) {
  RECT r{};
  if (window != nullptr) GetWindowRect(window, &r);
  std::printf(" %d %d %d %d", static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
              static_cast<int>(r.bottom - r.top));
  return r;
}

bool Topmost(HWND window) { return (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

int Probe() {
  HWND saver = FindWindowA("KIVO.gwp", nullptr);
  if (saver == nullptr) {
    std::printf("none\n");
    return 1;
  }
  std::printf("window");
  PrintRect(saver);
  std::printf(" topmost=%d popup=%d visible=%d screen=%dx%d\n", Topmost(saver),
              (GetWindowLongPtrA(saver, GWL_STYLE) & WS_POPUP) != 0, IsWindowVisible(saver) != 0,
              GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  return 0;
}

BOOL CALLBACK DescribeMonitorWindow(HWND window, LPARAM count) {
  if (ClassOf(window) != "KIVO.monitor") return TRUE;
  std::printf("monitor");
  PrintRect(window);
  std::printf(" topmost=%d visible=%d\n", Topmost(window), IsWindowVisible(window) != 0);
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

struct DialogSurvey {
  RECT client{};  // in screen coordinates
  int controls = 0;
  int shown = 0;
};

BOOL CALLBACK SurveyControl(HWND control, LPARAM survey) {
  auto& s = *reinterpret_cast<DialogSurvey*>(survey);
  std::printf("control %d %s", GetDlgCtrlID(control), ClassOf(control).c_str());
  const RECT r = PrintRect(control);
  const bool inside = r.left >= s.client.left && r.top >= s.client.top && r.right <= s.client.right &&
                      r.bottom <= s.client.bottom && r.right > r.left && r.bottom > r.top;
  const bool visible = IsWindowVisible(control) != 0;
  std::printf(" visible=%d inside=%d\n", visible, inside);
  ++s.controls;
  if (visible && inside) ++s.shown;
  return TRUE;
}

// The settings dialog is the one top-level dialog holding a slider.
BOOL CALLBACK FindSettingsDialog(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || ClassOf(window) != "#32770" ||
      FindWindowExA(window, nullptr, "msctls_trackbar32", nullptr) == nullptr)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

int Dialog() {
  HWND dialog = nullptr;
  EnumWindows(FindSettingsDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) {
    std::printf("none\n");
    return 1;
  }
  DialogSurvey survey;
  GetClientRect(dialog, &survey.client);
  MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&survey.client), 2);
  std::printf("dialog client %d %d\n", static_cast<int>(survey.client.right - survey.client.left),
              static_cast<int>(survey.client.bottom - survey.client.top));
  EnumChildWindows(dialog, SurveyControl, reinterpret_cast<LPARAM>(&survey));
  std::printf("controls %d shown %d\n", survey.controls, survey.shown);
  return 0;
}

// Physical pixels, as the saver (per-monitor DPI aware) sees them; without
// this Wine would scale every rectangle and metric for a high DPI.
void BecomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  auto set = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (set == nullptr || !set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) SetProcessDPIAware();
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
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = "KivoTestPane";
  RegisterClassA(&wc);
  HWND pane = CreateWindowExA(0, wc.lpszClassName, "KIVO test pane", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100,
                              width, height, nullptr, nullptr, wc.hInstance, nullptr);
  if (pane == nullptr) return 2;
  std::string command = std::string("\"") + saver + "\" /p " + std::to_string(reinterpret_cast<std::intptr_t>(pane));
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 2;
  Pump(3000);
  HWND child = FindWindowExA(pane, nullptr, "KIVO.gwp", nullptr);
  std::printf("child %s", child != nullptr ? "KIVO.gwp" : "none");
  PrintRect(child);
  std::printf(" visible=%d\n", child != nullptr && IsWindowVisible(child) != 0);
  std::fflush(stdout);
  DWORD code = 0;
  while (GetFileAttributesA(control) == INVALID_FILE_ATTRIBUTES) {
    Pump(100);
    if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
      std::printf("saver ended early with %lu\n", static_cast<unsigned long>(code));
      return 4;
    }
  }
  DestroyWindow(pane);
  for (int i = 0; i < 200; ++i) {
    Pump(50);
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code)) {
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
  BecomeDpiAware();
  const std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "bits") return std::printf("%d\n", static_cast<int>(8 * sizeof(void*))) > 0 ? 0 : 1;
  if (verb == "probe") return Probe();
  if (verb == "dialog") return Dialog();
  if (verb == "monitors") {
    int count = 0;
    EnumWindows(DescribeMonitorWindow, reinterpret_cast<LPARAM>(&count));
    if (count == 0) std::printf("none\n");
    return 0;
  }
  if (verb == "pane" && argc == 6) return Pane(std::atoi(argv[2]), std::atoi(argv[3]), argv[4], argv[5]);
  std::fprintf(stderr, "usage: kivo-testhost bits | probe | monitors | dialog | pane W H SAVER CONTROL\n");
  return 2;
}
