#include "host/win32/monitor_windows.h"

#include <windowsx.h>

#include <cstdint>
#include <string>
#include <utility>

#include "host/win32/window_class.h"
#include "host/win32/window_painting.h"

namespace kivo {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    reinterpret_cast<std::vector<std::pair<Monitor, std::string>>*>(list)->push_back(
        {Monitor{ScreenRect{r.left, r.top, r.right - r.left, r.bottom - r.top}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0},
         info.szDevice});
  }
  return TRUE;
}

// A monitor's device name ("\\.\DISPLAY2") as a number (FNV-1a).
std::uint64_t NameId(const std::string& name) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

}  // namespace

std::vector<Screen> ListScreens() {
  std::vector<std::pair<Monitor, std::string>> listed;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&listed));
  std::vector<Monitor> monitors;
  for (const auto& m : listed) monitors.push_back(m.first);
  std::vector<Screen> screens;
  for (const ScreenRect& r : SaverScreens(monitors)) {
    for (const auto& m : listed) {
      if (m.first.rect == r) {
        screens.push_back(Screen{NameId(m.second), r});
        break;
      }
    }
  }
  return screens;
}

MonitorSummary SummariseMonitors() {
  MonitorSummary s;
  s.count = GetSystemMetrics(SM_CMONITORS);
  s.bounds = ScreenRect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return s;
}

std::unique_ptr<MonitorWindow> MonitorWindow::Open(HINSTANCE instance, HWND saverWindow, const ScreenRect& r) {
  WNDCLASSA existing{};
  if (!GetClassInfoA(instance, kMonitorWindowClass, &existing) &&
      !RegisterBlackWindowClass(instance, kMonitorWindowClass, Procedure, nullptr)) {
    return nullptr;
  }
  std::unique_ptr<MonitorWindow> m(new MonitorWindow(saverWindow, r));
  m->window_ = CreateWindowExA(WS_EX_TOPMOST, kMonitorWindowClass, "Screen Saver",
                               WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, r.x, r.y, r.width, r.height,
                               saverWindow, nullptr, instance, m.get());
  if (m->window_ == nullptr) return nullptr;
  return m;
}

MonitorWindow::~MonitorWindow() {
  // Destroying the saver window has destroyed the windows it owns already.
  if (IsWindow(window_)) {
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

bool MonitorWindow::Place(const ScreenRect& r) {
  if (!(r == rect_)) SetWindowPos(window_, HWND_TOPMOST, r.x, r.y, r.width, r.height, SWP_NOACTIVATE);
  rect_ = r;
  return true;
}

void MonitorWindow::Show(const FrameView& frame) { ShowFrame(window_, frame); }

LRESULT CALLBACK MonitorWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* m = WindowOwner<MonitorWindow>(window, message, lParam);
  if (m == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      EraseBackground(window);
      break;
    case WM_MOUSEMOVE:
      // The saver window lies at the screen's origin: its client
      // coordinates are screen coordinates.
      return SendMessageA(m->saverWindow_, message, wParam,
                          MAKELPARAM(GET_X_LPARAM(lParam) + m->rect_.x, GET_Y_LPARAM(lParam) + m->rect_.y));
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      return SendMessageA(m->saverWindow_, message, wParam, lParam);
    case WM_SYSCOMMAND:
      return 0;  // as on the saver window: no system command takes effect
    case WM_CLOSE:
      // Only the saver window decides, through the password gate.
      PostMessageA(m->saverWindow_, WM_CLOSE, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace kivo
