// The saver's window classes: black windows whose procedure finds the
// object they belong to, written once for both classes.
#pragma once

#include <windows.h>

namespace kivo {

// Registers a class with a black background, the arrow cursor, no menu and
// the redraw-on-resize styles; false when the system refuses.
bool RegisterBlackWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure, HICON icon);

// The object given as the creation parameter of `window`, kept in its user
// data from WM_NCCREATE on; null before then.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace kivo
