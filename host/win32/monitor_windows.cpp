#include "host/win32/monitor_windows.h"

#include <windowsx.h>

#include "host/win32/saver_window.h"
#include "host/win32/window_painting.h"

namespace kivo {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<Monitor>*>(list)->push_back(
        Monitor{ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
  }
  return TRUE;
}

std::vector<Monitor> ListMonitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

MonitorWindow* Find(SaverProcess& p, HWND window) {
  for (MonitorWindow& m : p.monitors) {
    if (m.window == window) return &m;
  }
  return nullptr;
}

// Input is judged by the saver window's rules, in screen coordinates.
LRESULT PassInputOn(SaverProcess& p, const MonitorWindow& m, UINT message, LPARAM lParam) {
  InputAction action = InputAction::kPassOn;
  if (message == WM_MOUSEMOVE) {
    action = p.driver->OnPointerMove(GET_X_LPARAM(lParam) + m.rect.x, GET_Y_LPARAM(lParam) + m.rect.y);
  } else {
    action = p.driver->OnKeyOrButton();
  }
  if (action == InputAction::kRequestClose) PostMessageA(p.saverWindow, WM_CLOSE, 0, 0);
  return 0;
}

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* p = reinterpret_cast<SaverProcess*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  MonitorWindow* m = p != nullptr ? Find(*p, window) : nullptr;
  if (m == nullptr) return DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(window);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MOUSEMOVE:
      return PassInputOn(*p, *m, message, lParam);
    case WM_SYSCOMMAND:
      return 0;  // as on the saver window: no system command takes effect
    case WM_CLOSE:
      // Only the saver window decides, through the password gate.
      PostMessageA(p->saverWindow, WM_CLOSE, 0, 0);
      return 0;
    case WM_DESTROY:
      m->driver->Stop();
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMonitorWindowClass(HINSTANCE instance) {
  WNDCLASSA existing{};
  if (GetClassInfoA(instance, kMonitorWindowClass, &existing)) return true;
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MonitorWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kMonitorWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

}  // namespace

void OpenMonitorWindows(SaverProcess& p, std::uint32_t seed, std::int32_t count) {
  p.monitorSummary = SummariseMonitors();
  const std::vector<ScreenRect> screens = SaverScreens(ListMonitors());
  if (screens.size() < 2 || !RegisterMonitorWindowClass(p.instance)) return;
  // The window procedure finds its entry here while the window is being
  // created, so the list must not move: room for every monitor up front.
  p.monitors.reserve(screens.size() - 1);
  for (std::size_t i = 1; i < screens.size(); ++i) {
    const ScreenRect& r = screens[i];
    MonitorWindow m;
    m.rect = r;
    m.driver = std::make_unique<SaverDriver>(false);  // input goes to the saver window's rules
    m.driver->Seed(ScreenSeed(seed, i));
    m.driver->Start(r.width, r.height, count);
    p.monitors.push_back(std::move(m));
    MonitorWindow& added = p.monitors.back();
    added.window = CreateWindowExA(WS_EX_TOPMOST, kMonitorWindowClass, "Screen Saver",
                                   WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, r.x, r.y, r.width,
                                   r.height, p.saverWindow, nullptr, p.instance, &p);
    if (added.window == nullptr) {
      added.driver->Stop();
      p.monitors.pop_back();
    }
  }
}

void CloseMonitorWindows(SaverProcess& p) {
  for (MonitorWindow& m : p.monitors) {
    if (IsWindow(m.window)) DestroyWindow(m.window);
    m.driver->Stop();
  }
  p.monitors.clear();
}

MonitorSummary SummariseMonitors() {
  MonitorSummary s;
  s.count = GetSystemMetrics(SM_CMONITORS);
  s.bounds = ScreenRect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return s;
}

void TickMonitorWindows(SaverProcess& p) {
  for (MonitorWindow& m : p.monitors) ShowFrame(m.window, m.driver->Tick());
}

}  // namespace kivo
