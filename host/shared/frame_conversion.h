// Turning a frame into the 32-bit (or 24-bit) top-down pixels a window
// system shows, whole or only where the frame changed. A frame drawn in the
// 32-bit layout (FrameLayout::kTopDownXrgb32) is already in the usual one:
// its runs are copied as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "flakes/frame_view.h"
#include "host/shared/screen_layout.h"

namespace kivo {

// A TrueColor layout with 8-bit channels: 3 or 4 bytes per pixel, channels
// where the masks say, bytes in the image's byte order.
struct PixelFormat {
  int bytesPerPixel = 4;
  std::uint32_t redMask = 0xFF0000;
  std::uint32_t greenMask = 0x00FF00;
  std::uint32_t blueMask = 0x0000FF;
  bool mostSignificantFirst = false;
};

// True for the layouts ConvertFrame can write.
bool IsSupportedPixelFormat(const PixelFormat& format);

// Converts runs of a frame's pixels (blue, green, red and, in the 32-bit
// layout, a fourth byte) into a supported layout.
class PixelConverter {
 public:
  explicit PixelConverter(const PixelFormat& format, FrameLayout source = FrameLayout::kBottomUpBgr24);
  // The same output from frames of another layout.
  PixelConverter From(FrameLayout source) const;
  void ConvertRun(const std::uint8_t* src, int pixels, std::uint8_t* dst) const;
  int BytesPerPixel() const { return bytesPerPixel_; }
  FrameLayout Source() const { return source_; }
  // The output is the source's own layout: a run is copied as it is.
  bool Copies() const { return common_ && sourceBytes_ == 4; }

 private:
  PixelFormat format_;
  FrameLayout source_;
  int sourceBytes_;
  int bytesPerPixel_;
  int red_;  // byte index of each channel inside one output pixel
  int green_;
  int blue_;
  bool common_;  // blue, green, red, pad: the usual 32-bit layout
};

// Writes `height` rows of `width` pixels, top row first, from a bottom-up
// blue-green-red block whose rows are `stride` bytes apart.
void ConvertFrame(const std::uint8_t* bottomUpBits, int width, int height, int stride, const PixelFormat& format,
                  std::uint8_t* out, int outStride);
// The same for a frame of either layout.
void ConvertFrame(const FrameView& frame, const PixelFormat& format, std::uint8_t* out, int outStride);

// The part of each row (top-down) that changed.
struct DirtyRows {
  std::vector<int> first;  // first pixel changed; > last when the row is clean
  std::vector<int> last;
  void Reset(int height) {
    first.assign(static_cast<std::size_t>(height), 1 << 30);
    last.assign(static_cast<std::size_t>(height), -1);
  }
  void Add(int row, int x, int pixels) {
    auto& f = first[static_cast<std::size_t>(row)];
    auto& l = last[static_cast<std::size_t>(row)];
    if (x < f) f = x;
    if (x + pixels - 1 > l) l = x + pixels - 1;
  }
};

// Converts only the runs the frame's damage names into `out` (top row
// first), which must hold the conversion of the frame before, and notes
// them in `rows`. False, with nothing done, when the damage is whole. The
// converter's output format counts; its source is the frame's layout.
bool ConvertDamage(const FrameView& frame, const PixelConverter& converter, std::uint8_t* out, int outStride,
                   DirtyRows* rows);

// The rows the frame's damage names, for a host that shows the frame's own
// memory; false, with `rows` empty, when the damage is whole.
bool DamagedRows(const FrameView& frame, DirtyRows* rows);

// What the last few frames of one scene drew, so that a buffer last written
// with frame k is brought to frame n by converting the runs frames k and n
// drew: a window system may hold on to a buffer for several frames, and a
// buffer reused must lose what it shows of frame k and get all of frame n.
class DamageHistory {
 public:
  static constexpr std::size_t kDepth = 8;

  // Notes the damage of the frame just finished; returns its number (from 1).
  std::uint64_t Record(const FrameView& frame);
  std::uint64_t Latest() const { return latest_; }

  // Brings `out`, which holds frame `held` (0: nothing yet), to the latest
  // frame: converts the runs both drew, or the whole frame where either is
  // not known. The rows it wrote go to `rows`; false when it converted the
  // whole frame.
  bool BringUpToDate(const FrameView& frame, std::uint64_t held, const PixelFormat& format, std::uint8_t* out,
                     int outStride, DirtyRows* rows) const;

 private:
  struct Entry {
    std::uint64_t number = 0;
    bool whole = true;            // its runs are not known
    std::vector<FrameRun> runs;  // what its step drew
  };
  const Entry& At(std::uint64_t number) const { return entries_[number % kDepth]; }
  // Whether frame `number` (from 1) is still kept, with its runs.
  bool Knows(std::uint64_t number) const { return number > 0 && At(number).number == number && !At(number).whole; }

  Entry entries_[kDepth];
  std::uint64_t latest_ = 0;
};

// The rows that changed as a few rectangles: each band of consecutive
// changed rows, as wide as the widest change in it. What a window system
// is told to update.
std::vector<ScreenRect> ChangedBands(const DirtyRows& rows);

}  // namespace kivo
