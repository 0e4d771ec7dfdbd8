#include "host/win32/saver_window.h"

#include <cstring>
#include <ctime>

#include "host/win32/system_password.h"
#include "settings/flake_count.h"
#include "settings/win32/registry_store.h"

namespace kivo {
namespace {

constexpr UINT kTickMilliseconds = 30;
constexpr char kWindowTitle[] = "Screen Saver";

// Shows a finished frame with one device-independent-bitmap copy: the
// frame buffer already has the layout the call expects.
class GdiPresenter : public FramePresenter {
 public:
  explicit GdiPresenter(HDC dc) : dc_(dc) {}
  void Present(const DibHeader& header, const std::uint8_t* bits) override {
    SetStretchBltMode(dc_, COLORONCOLOR);
    if (bits == nullptr) return;  // no frame buffer: the window keeps its black
    BITMAPINFO info{};
    static_assert(sizeof(BITMAPINFOHEADER) == sizeof(DibHeader), "header layouts differ");
    std::memcpy(&info.bmiHeader, &header, sizeof header);
    SetDIBitsToDevice(dc_, 0, 0, static_cast<DWORD>(header.biWidth), static_cast<DWORD>(header.biHeight), 0, 0, 0,
                      static_cast<UINT>(header.biHeight), bits, &info, DIB_RGB_COLORS);
  }

 private:
  HDC dc_;
};

void OnCreate(SaverProcess& p, HWND window) {
  p.saverWindow = window;
  p.scene->Random().SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
  RegistrySettingsStore store;
  std::int32_t count = 0;
  // Without the settings key the window stays black: no sprites, no flakes,
  // no timer, and the cursor stays visible.
  if (!ReadFlakeCount(store, &count)) return;
  p.scene->Start(p.targetWidth, p.targetHeight, count);
  p.timerId = SetTimer(window, 0, kTickMilliseconds, nullptr);
  if (!p.Preview()) {
    POINT cursor{};
    GetCursorPos(&cursor);
    p.input.SetSavedCursor(cursor.x, cursor.y);
    ShowCursor(FALSE);
    p.cursorHidden = true;
  }
}

void EraseBackground(HWND window) {
  HDC dc = GetDC(window);
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(window, dc);
}

void OnTick(SaverProcess& p, HWND window) {
  HDC dc = GetDC(window);
  GdiPresenter presenter(dc);
  p.scene->RenderFrame(&presenter);
  ReleaseDC(window, dc);
}

LRESULT OnClose(SaverProcess& p, HWND window) {
  if (!p.Preview()) {
    SystemPasswordVerifier verifier;
    if (p.gate.Ask(verifier, reinterpret_cast<std::intptr_t>(window)) == GateAnswer::kRefuse) {
      SetCursorPos(p.input.SavedX(), p.input.SavedY());
      p.input.OnCloseRefused();
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
  p.scene->Stop();
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
      if (p->input.OnKeyOrButton() == InputAction::kRequestClose) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_MOUSEMOVE:
      if (p->input.OnMouseMove(static_cast<std::uint32_t>(lParam)) == InputAction::kRequestClose) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
      }
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

  p.input = InputRules(p.Preview());
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
