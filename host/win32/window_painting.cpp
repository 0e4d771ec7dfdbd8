#include "host/win32/window_painting.h"

namespace kivo {

void EraseBackground(HWND window) {
  HDC dc = GetDC(window);
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReleaseDC(window, dc);
}

void ShowFrame(HWND window, const FrameView& frame) {
  HDC dc = GetDC(window);
  SetStretchBltMode(dc, COLORONCOLOR);
  if (!frame.Empty()) {
    // The frame's rows already have the layout the call expects.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = frame.height;  // positive: bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biXPelsPerMeter = 1;
    info.bmiHeader.biYPelsPerMeter = 1;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(frame.width), static_cast<DWORD>(frame.height), 0, 0, 0,
                      static_cast<UINT>(frame.height), frame.bottomRow, &info, DIB_RGB_COLORS);
  }
  ReleaseDC(window, dc);
}

}  // namespace kivo
