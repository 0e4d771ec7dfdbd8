// FramePainter: the frame step's two shapes drawn straight into the frame
// buffer's rows, with a record of every span touched so that the next clear
// zeroes only those instead of the whole frame.
//
// The pictures are exactly those of AddFilledCircle (grey discs, radius 0 to
// 2) and AddTexturedQuad (a whole 65 x 65 sprite on an axis-aligned square):
// the fast paths only skip work whose result is known in advance. It draws
// either layout of frame_view.h, the same colours in both: a 32-bit pixel
// is the 24-bit one's blue, green and red bytes followed by a 0 that
// drawing never touches.
#pragma once

#include <cstdint>
#include <vector>

#include "flakes/frame_view.h"
#include "raster/clip_range.h"
#include "raster/raster_image.h"

namespace kivo {

class FramePainter {
 public:
  // Binds to a freshly created (all black) 24-bit frame buffer, or to none.
  void Reset(RasterImage* frame);
  // Binds to top-down 32-bit XRGB rows: width x height pixels from `topRow`,
  // rows `stride` (at least 4 * width) bytes apart. Unless `black` says
  // every pixel is black already, the first Clear blackens the whole frame.
  void Reset(std::uint8_t* topRow, int width, int height, int stride, bool black);

  FrameLayout Layout() const { return bytesPerPixel_ == 4 ? FrameLayout::kTopDownXrgb32 : FrameLayout::kBottomUpBgr24; }
  // The rows drawn into; null while bound to no pixels.
  const std::uint8_t* TopRow() const { return top_; }
  int Stride() const { return stride_; }

  // Makes every pixel black again.
  void Clear();

  // AddFilledCircle(x, y, radius, grey, grey, grey). The disc is drawn a
  // little later, by Flush at the latest: discs land all over a frame far
  // larger than the cache, and drawing them in batches behind a short queue
  // measured about a quarter faster per frame at 1920 x 1080 than drawing
  // each one in the middle of its flake's arithmetic. Additions saturate,
  // so the order of drawing never changes the picture.
  void AddDisc(int x, int y, int radius, int grey) {
    if (top_ == nullptr) return;
    if (radius > 2) {
      AddLargeDisc(x, y, radius, grey);
      return;
    }
    // Many flakes wait above the top edge before they fall into view: a
    // disc with no row or column in the frame is not worth queueing.
    const int r = radius < 0 ? 0 : radius;
    if (y + r < 0 || y - r >= height_ || x + r < 0 || x - r >= width_) return;
    // Ask for the rows now; by the time the disc is drawn they are in the cache.
    for (int row = y - r; row <= y + r; ++row) {
      if (row >= 0 && row < height_) Prefetch(PixelAddress(x < 0 ? 0 : x, row));
    }
    PendingDisc& slot = pending_[pendingNext_];
    if (pendingCount_ == kPendingDiscs) {
      DrawDisc(slot);
    } else {
      ++pendingCount_;
    }
    slot = PendingDisc{x, y, r, grey};
    pendingNext_ = (pendingNext_ + 1) % kPendingDiscs;
  }

  // Draws every disc still waiting.
  void Flush();

  // AddTexturedQuad over the square (x - r, y - r) .. (x + r, y + r) with the
  // sprite's corners (0, 0) .. (64, 64).
  void AddSprite(int x, int y, int r, const RasterImage& sprite);

  // What the last Clear and the drawing since may have changed; valid until
  // the next Clear or Reset.
  FrameDamage Damage() const;

 private:
  // A run of pixels drawn since the last clear.
  using Span = FrameRun;
  static constexpr std::size_t kMaxRecordedSpans = 1u << 18;
  static constexpr int kMaxFastRadius = 100;
  static constexpr std::size_t kPendingDiscs = 64;

  struct PendingDisc {
    int x, y, radius, grey;
  };
  void DrawDisc(const PendingDisc& disc);
  template <int kBytes>
  void DrawDiscIn(const PendingDisc& disc);
  template <int kBytes>
  void AddSpriteIn(int x, int y, int r, const RasterImage& sprite);
  void AddLargeDisc(int x, int y, int radius, int grey);  // the general circle, a whole-frame clear after
  // Where the general rasterisers draw: the frame buffer itself in the 24-bit
  // layout, else a black 24-bit image of the frame's size whose pixels inside
  // [lo, hi] x [top, bottom] AddScratch then adds to the frame and blackens
  // again. Null when there is no room for it.
  RasterImage* GeneralCanvas();
  void AddScratch(std::int64_t lo, std::int64_t hi, std::int64_t top, std::int64_t bottom);

  // Clips [lo, hi] on row y; false when nothing of it is in the frame.
  bool ClipRow(int y, int* lo, int* hi) const { return y >= 0 && y < height_ && ClipRange(lo, hi, width_); }
  // First byte of pixel (x, y), y counted from the top.
  std::uint8_t* PixelAddress(int x, int y) const {
    return top_ + static_cast<std::ptrdiff_t>(y) * rowStep_ + static_cast<std::ptrdiff_t>(bytesPerPixel_) * x;
  }
  static void Prefetch(const std::uint8_t* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p, 1);
#else
    (void)p;
#endif
  }
  void Record(int x, int y, int pixels) {
    if (drawn_.size() == kMaxRecordedSpans) wholeFrameDirty_ = true;  // more memory is not worth it
    if (!wholeFrameDirty_) drawn_.push_back(Span{y, x, pixels});
  }

  RasterImage* frame_ = nullptr;  // the 24-bit frame buffer; null in the 32-bit layout
  std::uint8_t* top_ = nullptr;  // first byte of the top row; null while there are no pixels
  std::ptrdiff_t rowStep_ = 0;   // from a row to the one below it on the screen
  int bytesPerPixel_ = 3;
  const std::uint8_t* blockEnd_ = nullptr;  // one past the frame's last byte in memory
  int width_ = 0;
  int height_ = 0;
  int stride_ = 0;
  RasterImage scratch_;  // the general rasterisers' canvas in the 32-bit layout
  std::vector<Span> drawn_;
  std::vector<Span> cleared_;  // drawn before the last clear
  bool wholeFrameDirty_ = false;
  bool wholeFrameCleared_ = true;
  bool freshFrame_ = true;  // no frame drawn since Reset: nothing to compare with
  PendingDisc pending_[kPendingDiscs] = {};
  std::size_t pendingCount_ = 0;
  std::size_t pendingNext_ = 0;
  std::vector<std::uint8_t> texelRow_;  // a row of texels, then 16 bytes of slack
};

}  // namespace kivo
