#include "host/shared/frame_conversion.h"

#include <algorithm>

#include <cstring>

namespace kivo {
namespace {

int ShiftOf(std::uint32_t mask) {
  int shift = 0;
  while (shift < 32 && ((mask >> shift) & 1u) == 0) ++shift;
  return shift;
}

bool IsByteMask(std::uint32_t mask) {
  const int shift = ShiftOf(mask);
  return shift <= 24 && shift % 8 == 0 && mask == (0xFFu << shift);
}

// The usual layout (bytes blue, green, red, pad): four pixels at a time from
// three 32-bit loads on little-endian hosts, byte by byte elsewhere.
void ConvertRowToX8R8G8B8(const std::uint8_t* src, int width, std::uint8_t* dst) {
  int x = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; x + 4 <= width; x += 4, src += 12, dst += 16) {
    std::uint32_t w[3];
    std::memcpy(w, src, sizeof w);
    const std::uint32_t p[4] = {w[0] & 0xFFFFFFu, (w[0] >> 24) | ((w[1] & 0xFFFFu) << 8),
                                (w[1] >> 16) | ((w[2] & 0xFFu) << 16), w[2] >> 8};
    std::memcpy(dst, p, sizeof p);
  }
#endif
  for (; x < width; ++x, src += 3, dst += 4) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = 0;
  }
}

// Copies a run of 32-bit pixels. Most runs of a frame's damage are one to
// five pixels: those take two fixed-size copies that may overlap, inline.
inline void CopyPixels32(std::uint8_t* dst, const std::uint8_t* src, int pixels) {
  const std::size_t n = 4 * static_cast<std::size_t>(pixels);
  if (n > 32) {
    std::memcpy(dst, src, n);
  } else if (n >= 16) {
    std::uint8_t head[16], tail[16];
    std::memcpy(head, src, 16);
    std::memcpy(tail, src + n - 16, 16);
    std::memcpy(dst, head, 16);
    std::memcpy(dst + n - 16, tail, 16);
  } else if (n >= 8) {
    std::uint64_t head, tail;
    std::memcpy(&head, src, 8);
    std::memcpy(&tail, src + n - 8, 8);
    std::memcpy(dst, &head, 8);
    std::memcpy(dst + n - 8, &tail, 8);
  } else if (n == 4) {
    std::memcpy(dst, src, 4);
  }
}

// Converts (or copies) every run of `runs` from the frame into `out` and
// notes it in `rows`.
void BringRuns(const FrameView& frame, const std::vector<FrameRun>& runs, const PixelConverter& converter,
               std::uint8_t* out, int outStride, DirtyRows* rows) {
  const int bpp = converter.BytesPerPixel();
  if (converter.Copies()) {
    for (const FrameRun& run : runs) {
      CopyPixels32(out + static_cast<std::ptrdiff_t>(run.row) * outStride + 4 * static_cast<std::ptrdiff_t>(run.x),
                   frame.topRow + static_cast<std::ptrdiff_t>(run.row) * frame.stride + 4 * static_cast<std::ptrdiff_t>(run.x),
                   run.pixels);
      rows->Add(run.row, run.x, run.pixels);
    }
    return;
  }
  for (const FrameRun& run : runs) {
    converter.ConvertRun(frame.Pixel(run.x, run.row), run.pixels,
                         out + static_cast<std::ptrdiff_t>(run.row) * outStride + static_cast<std::ptrdiff_t>(run.x) * bpp);
    rows->Add(run.row, run.x, run.pixels);
  }
}

}  // namespace

bool IsSupportedPixelFormat(const PixelFormat& f) {
  if (f.bytesPerPixel != 3 && f.bytesPerPixel != 4) return false;
  if (!IsByteMask(f.redMask) || !IsByteMask(f.greenMask) || !IsByteMask(f.blueMask)) return false;
  if (f.bytesPerPixel == 3 && ((f.redMask | f.greenMask | f.blueMask) >> 24) != 0) return false;
  return (f.redMask & f.greenMask) == 0 && (f.redMask & f.blueMask) == 0 && (f.greenMask & f.blueMask) == 0;
}

PixelConverter::PixelConverter(const PixelFormat& f, FrameLayout source)
    : format_(f), source_(source), sourceBytes_(kivo::BytesPerPixel(source)), bytesPerPixel_(f.bytesPerPixel) {
  auto byteOf = [&](std::uint32_t mask) {
    const int lsbIndex = ShiftOf(mask) / 8;
    return f.mostSignificantFirst ? bytesPerPixel_ - 1 - lsbIndex : lsbIndex;
  };
  red_ = byteOf(f.redMask);
  green_ = byteOf(f.greenMask);
  blue_ = byteOf(f.blueMask);
  common_ = bytesPerPixel_ == 4 && blue_ == 0 && green_ == 1 && red_ == 2;
}

PixelConverter PixelConverter::From(FrameLayout source) const { return PixelConverter(format_, source); }

void PixelConverter::ConvertRun(const std::uint8_t* src, int pixels, std::uint8_t* dst) const {
  if (Copies()) {
    CopyPixels32(dst, src, pixels);  // the frame's own layout
    return;
  }
  if (common_) {
    ConvertRowToX8R8G8B8(src, pixels, dst);
    return;
  }
  for (int x = 0; x < pixels; ++x, src += sourceBytes_, dst += bytesPerPixel_) {
    std::memset(dst, 0, static_cast<std::size_t>(bytesPerPixel_));
    dst[blue_] = src[0];
    dst[green_] = src[1];
    dst[red_] = src[2];
  }
}

void ConvertFrame(const std::uint8_t* bits, int width, int height, int stride, const PixelFormat& f,
                  std::uint8_t* out, int outStride) {
  const PixelConverter converter(f);
  for (int y = 0; y < height; ++y) {
    converter.ConvertRun(bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride, width,
                         out + static_cast<std::ptrdiff_t>(y) * outStride);
  }
}

void ConvertFrame(const FrameView& frame, const PixelFormat& format, std::uint8_t* out, int outStride) {
  const PixelConverter converter(format, frame.layout);
  for (int y = 0; y < frame.height; ++y) {
    converter.ConvertRun(frame.TopDownRow(y), frame.width, out + static_cast<std::ptrdiff_t>(y) * outStride);
  }
}

bool ConvertDamage(const FrameView& frame, const PixelConverter& anySource, std::uint8_t* out, int outStride,
                   DirtyRows* rows) {
  const FrameDamage& damage = frame.damage;
  if (damage.whole || damage.cleared == nullptr || damage.drawn == nullptr) return false;
  const PixelConverter converter = anySource.From(frame.layout);
  rows->Reset(frame.height);
  for (const std::vector<FrameRun>* runs : {damage.cleared, damage.drawn}) {
    BringRuns(frame, *runs, converter, out, outStride, rows);
  }
  return true;
}

bool DamagedRows(const FrameView& frame, DirtyRows* rows) {
  const FrameDamage& damage = frame.damage;
  rows->Reset(frame.height);
  if (damage.whole || damage.cleared == nullptr || damage.drawn == nullptr) return false;
  for (const std::vector<FrameRun>* runs : {damage.cleared, damage.drawn}) {
    for (const FrameRun& run : *runs) rows->Add(run.row, run.x, run.pixels);
  }
  return true;
}

std::uint64_t DamageHistory::Record(const FrameView& frame) {
  Entry& entry = entries_[++latest_ % kDepth];
  entry.number = latest_;
  entry.runs.clear();
  const FrameDamage& d = frame.damage;
  entry.whole = d.whole || d.cleared == nullptr || d.drawn == nullptr;
  if (!entry.whole) entry.runs.assign(d.drawn->begin(), d.drawn->end());
  return latest_;
}

bool DamageHistory::BringUpToDate(const FrameView& frame, std::uint64_t held, const PixelFormat& format, std::uint8_t* out,
                                  int outStride, DirtyRows* rows) const {
  rows->Reset(frame.height);
  if (held == latest_ && held > 0) return true;  // it holds the latest frame already
  // Every frame is black but for what its own step drew, so the buffer and
  // the latest frame differ only where either was drawn: the frames between
  // left nothing in this buffer.
  if (!Knows(held) || !Knows(latest_)) {
    ConvertFrame(frame, format, out, outStride);
    for (int y = 0; y < frame.height; ++y) rows->Add(y, 0, frame.width);
    return false;
  }
  const PixelConverter converter(format, frame.layout);
  BringRuns(frame, At(held).runs, converter, out, outStride, rows);
  BringRuns(frame, At(latest_).runs, converter, out, outStride, rows);
  return true;
}

std::vector<ScreenRect> ChangedBands(const DirtyRows& rows) {
  std::vector<ScreenRect> bands;
  const int height = static_cast<int>(rows.last.size());
  for (int y = 0; y < height;) {
    if (rows.last[static_cast<std::size_t>(y)] < 0) {
      ++y;
      continue;
    }
    int first = rows.first[static_cast<std::size_t>(y)];
    int last = rows.last[static_cast<std::size_t>(y)];
    const int top = y;
    for (++y; y < height && rows.last[static_cast<std::size_t>(y)] >= 0; ++y) {
      first = std::min(first, rows.first[static_cast<std::size_t>(y)]);
      last = std::max(last, rows.last[static_cast<std::size_t>(y)]);
    }
    bands.push_back(ScreenRect{first, top, last - first + 1, y - top});
  }
  return bands;
}

}  // namespace kivo
