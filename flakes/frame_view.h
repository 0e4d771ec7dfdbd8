// How a finished frame leaves the core.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo {

// How a frame's pixels lie in memory. A scene draws one layout, chosen by
// whoever shows its frames; both give the same colours pixel for pixel.
enum class FrameLayout : std::uint8_t {
  // Rows bottom-up, blue, green, red bytes, each row padded to a multiple of
  // 4 bytes: a bottom-up 24-bit device-independent bitmap, which Windows
  // takes as it is (and kivo-render writes as its BMP).
  kBottomUpBgr24,
  // Rows top-down, blue, green, red, 0 bytes: XRGB8888 in a little-endian
  // word, the layout of wl_shm's always-offered format and of the usual X
  // TrueColor images (masks 0xff0000, 0xff00, 0xff, LSBFirst).
  kTopDownXrgb32,
};

constexpr int BytesPerPixel(FrameLayout layout) { return layout == FrameLayout::kTopDownXrgb32 ? 4 : 3; }

// Where a scene draws: its own block in either layout, or, for
// kTopDownXrgb32 only, rows someone else owns (an X image, a shared-memory
// segment), `stride` bytes apart and as large as the scene's frame.
struct FrameTarget {
  FrameLayout layout = FrameLayout::kBottomUpBgr24;
  std::uint8_t* pixels = nullptr;  // first byte of the top row; null: the scene's own block
  int stride = 0;
  // Changes whenever something besides the scene has written the lent
  // pixels: they then no longer hold the frame the scene last drew there.
  std::uint32_t generation = 0;

  bool operator==(const FrameTarget& o) const {
    return layout == o.layout && pixels == o.pixels &&
           (pixels == nullptr || (stride == o.stride && generation == o.generation));
  }
  bool operator!=(const FrameTarget& o) const { return !(*this == o); }
};

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

// A read-only look at the frame buffer after a tick, in its layout.
struct FrameView {
  FrameLayout layout = FrameLayout::kBottomUpBgr24;
  // kBottomUpBgr24 only: first byte of the bottom row, where the bitmap's
  // block starts, so a host can hand the block to the platform as it is.
  // Null in the other layout, and when there are no pixels.
  const std::uint8_t* bottomRow = nullptr;
  const std::uint8_t* topRow = nullptr;  // first byte of the top row, any layout; null when there are no pixels
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes between neighbouring rows in memory
  FrameDamage damage;  // against the frame the previous tick left

  bool Empty() const { return topRow == nullptr; }
  int BytesPerPixel() const { return kivo::BytesPerPixel(layout); }
  // Bytes from a row to the one below it on the screen.
  std::ptrdiff_t RowStep() const { return layout == FrameLayout::kBottomUpBgr24 ? -stride : stride; }
  // First byte of row y counted from the top, as a screen counts rows.
  const std::uint8_t* TopDownRow(int y) const { return topRow + static_cast<std::ptrdiff_t>(y) * RowStep(); }
  const std::uint8_t* Pixel(int x, int y) const {
    return TopDownRow(y) + static_cast<std::ptrdiff_t>(BytesPerPixel()) * x;
  }
};

}  // namespace kivo
