#include "host/win32/saver_window.h"

#include <windowsx.h>

#include "host/win32/system_password.h"
#include "host/win32/window_painting.h"
#include "settings/flake_count.h"
#include "settings/win32/registry_store.h"

namespace kivo {
namespace {

constexpr char kWindowTitle[] = "Screen Saver";

void OnCreate(SaverProcess& p, HWND window) {
  p.saverWindow = window;
  p.seed = p.driver->SeedFromClock();
  RegistrySettingsStore store;
  // Without the settings key the window stays black: no sprites, no flakes,
  // no timer, and the cursor stays visible.
  if (!ReadFlakeCount(store, &p.flakeCount)) return;
  p.driver->Start(p.targetWidth, p.targetHeight, p.flakeCount);
  p.timerId = SetTimer(window, 0, SaverDriver::kTickMilliseconds, nullptr);
  if (!p.Preview()) {
    POINT cursor{};
    GetCursorPos(&cursor);
    p.driver->SetStartCursor(cursor.x, cursor.y);
    ShowCursor(FALSE);
    p.cursorHidden = true;
    OpenMonitorWindows(p, p.seed, p.flakeCount);
  }
}

// Monitors were added, removed or rearranged: the saver window takes the
// primary monitor's new size and the other monitors get new windows.
void OnDisplayChange(SaverProcess& p, HWND window) {
  if (p.Preview() || p.timerId == 0) return;
  CloseMonitorWindows(p);
  HDC screen = GetDC(nullptr);
  const auto width = static_cast<std::int16_t>(GetDeviceCaps(screen, HORZRES));
  const auto height = static_cast<std::int16_t>(GetDeviceCaps(screen, VERTRES));
  ReleaseDC(nullptr, screen);
  if (width != p.targetWidth || height != p.targetHeight) {
    p.targetWidth = width;
    p.targetHeight = height;
    p.driver->Resize(width, height);
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  OpenMonitorWindows(p, p.seed, p.flakeCount);
}

void OnTick(SaverProcess& p, HWND window) {
  if (!p.Preview() && SummariseMonitors() != p.monitorSummary) OnDisplayChange(p, window);
  ShowFrame(window, p.driver->Tick());
  TickMonitorWindows(p);
}

LRESULT OnClose(SaverProcess& p, HWND window) {
  if (!p.Preview()) {
    SystemPasswordVerifier verifier;
    if (p.gate.Ask(verifier, reinterpret_cast<std::intptr_t>(window)) == GateAnswer::kRefuse) {
      SetCursorPos(p.driver->SavedX(), p.driver->SavedY());
      p.driver->OnCloseRefused();
      return 0;
    }
  }
  DestroyWindow(window);
  return 0;
}

void OnDestroy(SaverProcess& p, HWND window) {
  if (p.timerId != 0) KillTimer(window, p.timerId);
  p.timerId = 0;
  // Only undo what creation did, so the cursor's display count stays balanced.
  if (p.cursorHidden) ShowCursor(TRUE);
  p.cursorHidden = false;
  CloseMonitorWindows(p);
  p.driver->Stop();
  PostQuitMessage(0);
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* p = reinterpret_cast<SaverProcess*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (p == nullptr) return DefWindowProcA(window, message, wParam, lParam);

  switch (message) {
    case WM_CREATE:
      OnCreate(*p, window);
      break;
    case WM_ERASEBKGND:
      EraseBackground(window);
      break;
    case WM_TIMER:
      OnTick(*p, window);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (p->driver->OnKeyOrButton() == InputAction::kRequestClose) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (p->driver->OnPointerMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)) == InputAction::kRequestClose) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_DISPLAYCHANGE:
      OnDisplayChange(*p, window);
      break;
    case WM_SYSCOMMAND:
      return 0;  // no system command (close, screen saver start, ...) takes effect
    case WM_CLOSE:
      return OnClose(*p, window);
    case WM_DESTROY:
      OnDestroy(*p, window);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool CreateSaverWindow(SaverProcess& p) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = SaverWindowProc;
  windowClass.hInstance = p.instance;
  // The module has no icon under this number, so the class ends up with none.
  windowClass.hIcon = LoadIconA(p.instance, MAKEINTRESOURCEA(32512));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kSaverWindowClass;
  if (RegisterClassA(&windowClass) == 0) return false;

  p.driver = std::make_unique<SaverDriver>(!p.Preview());
  DWORD style = WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD exStyle = 0;
  int width = 0;
  int height = 0;
  if (p.Preview()) {
    RECT pane{};
    GetWindowRect(p.hostWindow, &pane);
    width = pane.right - pane.left;
    height = pane.bottom - pane.top;
    style |= WS_CHILD;
  } else {
    HDC screen = GetDC(nullptr);
    width = GetDeviceCaps(screen, HORZRES);
    height = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(nullptr, screen);
    style |= WS_POPUP;
    exStyle = WS_EX_TOPMOST;
  }
  // The frame step works with 16-bit sizes.
  p.targetWidth = static_cast<std::int16_t>(width);
  p.targetHeight = static_cast<std::int16_t>(height);
  HWND window = CreateWindowExA(exStyle, kSaverWindowClass, kWindowTitle, style, 0, 0, p.targetWidth,
                                p.targetHeight, p.hostWindow, nullptr, p.instance, &p);
  p.saverWindow = window;
  return window != nullptr;
}

}  // namespace kivo
