// How a finished frame leaves the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo {

// A run of pixels within one row of a frame: the row counted from the top,
// as a screen counts rows, its first column and its length.
struct FrameRun {
  std::int32_t row;
  std::int32_t x;
  std::int32_t pixels;
};

// What may differ between a frame and the one before it: the runs drawn in
// the frame before (black again now) and those drawn in this one. Every
// other pixel is as it was. `whole` says the runs do not tell: a fresh frame
// buffer, or a frame drawn or cleared as a whole.
struct FrameDamage {
  bool whole = true;
  const std::vector<FrameRun>* cleared = nullptr;
  const std::vector<FrameRun>* drawn = nullptr;
};

// A read-only look at the frame buffer after a tick. Rows run bottom-up and
// hold blue, green, red bytes, each row padded to a multiple of 4 bytes: the
// layout of a bottom-up 24-bit device-independent bitmap, so a host can hand
// the block to the platform as it is, or convert it row by row.
struct FrameView {
  const std::uint8_t* bottomRow = nullptr;  // first byte of the bottom row; null when there are no pixels
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes from one row to the next one up
  FrameDamage damage;  // against the frame the previous tick left

  bool Empty() const { return bottomRow == nullptr; }
  // First byte of row y counted from the top, as a screen counts rows.
  const std::uint8_t* TopDownRow(int y) const {
    return bottomRow + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
  }
  const std::uint8_t* Pixel(int x, int y) const { return TopDownRow(y) + 3 * static_cast<std::ptrdiff_t>(x); }
};

}  // namespace kivo
