// Painting a saver window: the black background and one finished frame.
#pragma once

#include <windows.h>

#include "flakes/frame_view.h"

namespace kivo {

// Fills the whole client area with the stock black brush.
void EraseBackground(HWND window);

// Copies the frame to the window's top-left corner with one
// device-independent-bitmap call; an empty frame leaves the window as it is.
void ShowFrame(HWND window, const FrameView& frame);

}  // namespace kivo
