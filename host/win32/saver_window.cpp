#include "host/win32/saver_window.h"

#include <windowsx.h>

#include <vector>

#include "host/win32/system_password.h"
#include "host/win32/window_class.h"
#include "host/win32/window_painting.h"
#include "settings/flake_count.h"
#include "settings/win32/registry_store.h"

namespace kivo {
namespace {

constexpr char kWindowTitle[] = "Screen Saver";

// The first screen is the saver window itself, at the screen's origin.
class SaverWindowOutput : public ScreenOutput {
 public:
  explicit SaverWindowOutput(HWND window) : window_(window) {}
  bool Place(const ScreenRect& rect) override {
    RECT now{};
    GetClientRect(window_, &now);
    if (now.right != rect.width || now.bottom != rect.height) {
      SetWindowPos(window_, nullptr, 0, 0, rect.width, rect.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
  }
  void Show(const FrameView& frame) override { ShowFrame(window_, frame); }

 private:
  HWND window_;
};

// The screens the saver shows: the window's own (a preview's pane, or the
// primary monitor at HORZRES x VERTRES), then in /s every other monitor.
std::vector<Screen> SaverScreensNow(const SaverProcess& p) {
  std::vector<Screen> screens{Screen{0, ScreenRect{0, 0, p.targetWidth, p.targetHeight}}};
  if (p.Preview()) return screens;
  std::vector<Screen> monitors = ListScreens();
  if (!monitors.empty()) screens[0].id = monitors[0].id;
  for (std::size_t i = 1; i < monitors.size(); ++i) screens.push_back(monitors[i]);
  return screens;
}

void OnCreate(SaverProcess& p, HWND window) {
  p.saverWindow = window;
  p.scenes = std::make_unique<ScreenScenes>(!p.Preview(), [&p](const Screen& screen, std::size_t slot) {
    std::unique_ptr<ScreenOutput> output;
    if (slot == 0) {
      output = std::make_unique<SaverWindowOutput>(p.saverWindow);
    } else {
      output = MonitorWindow::Open(p.instance, p.saverWindow, screen.rect);
    }
    return output;
  });
  const std::uint32_t seed = SaverDriver::ClockSeed();
  RegistrySettingsStore store;
  std::int32_t flakeCount = kDefaultFlakeCount;
  // Without the settings key the window stays black: no sprites, no flakes,
  // no timer, and the cursor stays visible.
  if (!ReadFlakeCount(store, &flakeCount)) return;
  p.scenes->Start(seed, flakeCount);
  p.monitorSummary = SummariseMonitors();
  p.scenes->LayOut(SaverScreensNow(p));
  p.timerId = SetTimer(window, 0, SaverDriver::kTickMilliseconds, nullptr);
  if (!p.Preview()) {
    POINT cursor{};
    GetCursorPos(&cursor);
    p.scenes->SetStartPointer(cursor.x, cursor.y);
    ShowCursor(FALSE);
    p.cursorHidden = true;
  }
}

// Monitors were added, removed or rearranged: the saver window takes the
// primary monitor's new size, screens that stay keep their snow.
void OnDisplayChange(SaverProcess& p) {
  if (p.Preview() || p.timerId == 0) return;
  HDC screen = GetDC(nullptr);
  p.targetWidth = static_cast<std::int16_t>(GetDeviceCaps(screen, HORZRES));
  p.targetHeight = static_cast<std::int16_t>(GetDeviceCaps(screen, VERTRES));
  ReleaseDC(nullptr, screen);
  p.monitorSummary = SummariseMonitors();
  p.scenes->LayOut(SaverScreensNow(p));
}

void OnTick(SaverProcess& p) {
  if (!p.Preview() && SummariseMonitors() != p.monitorSummary) OnDisplayChange(p);
  p.scenes->TickAll();
}

LRESULT OnClose(SaverProcess& p, HWND window) {
  if (!p.Preview()) {
    SystemPasswordVerifier verifier;
    if (p.gate.Ask(verifier, reinterpret_cast<std::intptr_t>(window)) == GateAnswer::kRefuse) {
      SetCursorPos(p.scenes->SavedX(), p.scenes->SavedY());
      p.scenes->OnCloseRefused();
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
  if (p.scenes) p.scenes->Stop();
  PostQuitMessage(0);
}

LRESULT PostCloseWhen(InputAction action, HWND window) {
  if (action == InputAction::kRequestClose) PostMessageA(window, WM_CLOSE, 0, 0);
  return 0;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  SaverProcess* p = WindowOwner<SaverProcess>(window, message, lParam);
  if (p == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  // Input before creation has made the scenes, or in a preview, passes on.
  const bool judged = p->scenes != nullptr && !p->Preview();
  switch (message) {
    case WM_CREATE:
      OnCreate(*p, window);
      break;
    case WM_ERASEBKGND:
      EraseBackground(window);
      break;
    case WM_TIMER:
      OnTick(*p);
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (judged) return PostCloseWhen(p->scenes->OnKey(), window);
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (judged) {
        return PostCloseWhen(p->scenes->OnButton(message == WM_LBUTTONDOWN ? PointerButton::kLeft : PointerButton::kRight),
                             window);
      }
      break;
    case WM_MOUSEMOVE:
      if (judged && p->scenes->OnPointerMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)) == InputAction::kRequestClose) {
        return PostCloseWhen(InputAction::kRequestClose, window);
      }
      break;
    case WM_DISPLAYCHANGE:
      OnDisplayChange(*p);
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
  // The module has no icon under this number, so the class ends up with none.
  if (!RegisterBlackWindowClass(p.instance, kSaverWindowClass, SaverWindowProc,
                                LoadIconA(p.instance, MAKEINTRESOURCEA(32512)))) {
    return false;
  }
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
