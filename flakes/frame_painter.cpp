#include "flakes/frame_painter.h"

#include <algorithm>
#include <cstring>

#include "raster/additive_rasterisers.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kivo {
namespace {

// Half-widths of the rows of a disc, from its top row down, for radius 0, 1
// and 2: exactly the spans AddFilledCircle draws for those radii.
constexpr int kDiscRows[3][5] = {{0}, {0, 1, 0}, {0, 2, 2, 2, 0}};

// Read from 16 - n on, the first n lanes are all ones and the rest zero.
alignas(16) constexpr std::uint8_t kFirstLanes[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Adds n bytes of src to dst, each sum limited to 255. src can be read 16
// bytes past its end. The last bytes take one more 16-byte add whose lanes
// past n add 0, where dst's block reaches that far.
void AddSaturated(std::uint8_t* dst, const std::uint8_t* src, std::size_t n, const std::uint8_t* blockEnd) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(a, b));
  }
  if (i < n && blockEnd - (dst + i) >= 16) {
    const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLanes + 16 - (n - i)));
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i b = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)), lanes);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(a, b));
    return;
  }
#else
  (void)blockEnd;
#endif
  for (; i < n; ++i) dst[i] = SaturatingAdd(dst[i], src[i]);
}

// Zeroes n bytes: the short runs most cleared spans are, without a call.
inline void ZeroBytes(std::uint8_t* p, std::size_t n) {
  if (n > 16) {
    std::memset(p, 0, n);
  } else if (n >= 8) {  // two stores that may overlap
    const std::uint64_t zero = 0;
    std::memcpy(p, &zero, 8);
    std::memcpy(p + n - 8, &zero, 8);
  } else if (n >= 4) {
    const std::uint32_t zero = 0;
    std::memcpy(p, &zero, 4);
    std::memcpy(p + n - 4, &zero, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) p[i] = 0;
  }
}

// One texel's colour bytes into a row of texels: blue, green, red, and in
// the 32-bit layout the 0 after them. Reads four bytes of the texel's row
// and, in the 24-bit layout, writes a fourth byte that the next texel (or
// the row's slack) takes: a 65-texel row of 195 bytes is padded to 196.
template <int kBytes>
void CopyTexel(std::uint8_t* dst, const std::uint8_t* texel) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint32_t bgr;
  std::memcpy(&bgr, texel, 4);
  if (kBytes == 4) bgr &= 0xFFFFFFu;
  std::memcpy(dst, &bgr, 4);
#else
  dst[0] = texel[0];
  dst[1] = texel[1];
  dst[2] = texel[2];
  if (kBytes == 4) dst[3] = 0;
#endif
}

// For each radius r of the sprite fast path, the texel (64 * i) / (2r) that
// offset i from the square's top-left corner samples, for i = 0 .. 2r, from
// entry r * r - 1 on: no division while drawing.
constexpr int kTableRadius = 100;
struct TexelTable {
  std::uint8_t at[kTableRadius * kTableRadius + 2 * kTableRadius] = {};
  constexpr TexelTable() {
    for (int r = 1; r <= kTableRadius; ++r) {
      for (int i = 0; i <= 2 * r; ++i) at[r * r - 1 + i] = static_cast<std::uint8_t>((64 * i) / (2 * r));
    }
  }
};
constexpr TexelTable kTexelTable;

}  // namespace

void FramePainter::Reset(RasterImage* frame) {
  frame_ = frame;
  const bool drawable = frame != nullptr && frame->Depth() == 24 && frame->RowAddress(0) != nullptr;
  top_ = drawable ? frame->RowAddress(0) : nullptr;
  width_ = drawable ? frame->Width() : 0;
  height_ = drawable ? frame->Height() : 0;
  stride_ = drawable ? frame->Stride() : 0;
  rowStep_ = -static_cast<std::ptrdiff_t>(stride_);
  bytesPerPixel_ = 3;
  // Rows lie bottom-up: the top row is the last in memory.
  blockEnd_ = drawable ? top_ + stride_ : nullptr;
  scratch_.Destroy();
  drawn_.clear();
  drawn_.reserve(1u << 16);
  cleared_.clear();
  cleared_.reserve(1u << 16);
  pendingCount_ = 0;
  pendingNext_ = 0;
  wholeFrameDirty_ = false;
  wholeFrameCleared_ = true;
  freshFrame_ = true;
  // 16 bytes more than the widest row, so a row's last bytes can be read 16 at a time.
  texelRow_.assign(4 * (2 * kMaxFastRadius + 1) + 16, 0);
}

void FramePainter::Reset(std::uint8_t* topRow, int width, int height, int stride, bool black) {
  Reset(nullptr);
  if (topRow == nullptr || width < 1 || height < 1 || stride < 4 * width) return;
  top_ = topRow;
  width_ = width;
  height_ = height;
  stride_ = stride;
  rowStep_ = stride;
  bytesPerPixel_ = 4;
  blockEnd_ = top_ + static_cast<std::ptrdiff_t>(stride_) * height_;
  wholeFrameDirty_ = !black;  // the first clear makes it black
}

void FramePainter::Clear() {
  if (top_ == nullptr) return;
  const auto bpp = static_cast<std::size_t>(bytesPerPixel_);
  if (wholeFrameDirty_) {
    for (int y = 0; y < height_; ++y) std::memset(PixelAddress(0, y), 0, bpp * static_cast<std::size_t>(width_));
  } else {
    for (const Span& s : drawn_) ZeroBytes(PixelAddress(s.x, s.row), bpp * static_cast<std::size_t>(s.pixels));
  }
  // What was drawn is what this clear changed; kept as the next damage.
  drawn_.swap(cleared_);
  drawn_.clear();
  wholeFrameCleared_ = wholeFrameDirty_ || freshFrame_;
  wholeFrameDirty_ = false;
  freshFrame_ = false;
}

FrameDamage FramePainter::Damage() const {
  FrameDamage damage;
  damage.whole = top_ == nullptr || wholeFrameCleared_ || wholeFrameDirty_;
  damage.cleared = &cleared_;
  damage.drawn = &drawn_;
  return damage;
}

RasterImage* FramePainter::GeneralCanvas() {
  if (frame_ != nullptr) return frame_;
  if (scratch_.RowAddress(0) == nullptr && scratch_.Create(width_, height_, 24) == 0) return nullptr;
  return &scratch_;
}

void FramePainter::AddScratch(std::int64_t lo, std::int64_t hi, std::int64_t top, std::int64_t bottom) {
  if (frame_ != nullptr || scratch_.RowAddress(0) == nullptr) return;
  lo = std::max<std::int64_t>(lo, 0);
  hi = std::min<std::int64_t>(hi, width_ - 1);
  top = std::max<std::int64_t>(top, 0);
  bottom = std::min<std::int64_t>(bottom, height_ - 1);
  for (auto y = static_cast<int>(top); y <= bottom && lo <= hi; ++y) {
    std::uint8_t* from = scratch_.RowAddress(y) + 3 * lo;
    std::uint8_t* to = PixelAddress(static_cast<int>(lo), y);
    for (std::int64_t x = lo; x <= hi; ++x, from += 3, to += 4) {
      for (int c = 0; c < 3; ++c) to[c] = SaturatingAdd(to[c], from[c]);
      from[0] = from[1] = from[2] = 0;
    }
  }
}

void FramePainter::AddLargeDisc(int x, int y, int radius, int grey) {
  wholeFrameDirty_ = true;
  RasterImage* canvas = GeneralCanvas();
  if (canvas == nullptr) return;
  canvas->AddFilledCircle(x, y, radius, grey, grey, grey);
  const std::int64_t r = radius;
  AddScratch(std::int64_t{x} - r, std::int64_t{x} + r, std::int64_t{y} - r, std::int64_t{y} + r);
}

void FramePainter::Flush() {
  for (std::size_t i = 0; i < pendingCount_; ++i) {
    DrawDisc(pending_[(pendingNext_ + kPendingDiscs - pendingCount_ + i) % kPendingDiscs]);
  }
  pendingCount_ = 0;
}

void FramePainter::DrawDisc(const PendingDisc& disc) {
  if (bytesPerPixel_ == 4) {
    DrawDiscIn<4>(disc);
  } else {
    DrawDiscIn<3>(disc);
  }
}

template <int kBytes>
void FramePainter::DrawDiscIn(const PendingDisc& disc) {
  const int r = disc.radius;
#if defined(__SSE2__)
  // A disc row is at most 5 pixels: 15 bytes, or 20 in the 32-bit layout.
  // Each 16 bytes take one saturating add whose lanes past the row (and on
  // the 32-bit pixels' fourth byte) add 0, so those bytes are written back
  // unchanged.
  const bool wholeLanes = disc.grey >= 0 && disc.grey <= 255;
  const __m128i grey = kBytes == 4 ? _mm_set1_epi32(static_cast<int>(0x010101u * static_cast<unsigned>(disc.grey)))
                                   : _mm_set1_epi8(static_cast<char>(disc.grey));
  constexpr std::ptrdiff_t kReach = kBytes == 4 ? 32 : 16;
#endif
  for (int row = 0; row <= 2 * r; ++row) {
    const int py = disc.y - r + row;
    int lo = disc.x - kDiscRows[r][row];
    int hi = disc.x + kDiscRows[r][row];
    if (!ClipRow(py, &lo, &hi)) continue;
    std::uint8_t* p = PixelAddress(lo, py);
    const std::size_t bytes = kBytes * static_cast<std::size_t>(hi - lo + 1);
#if defined(__SSE2__)
    if (wholeLanes && blockEnd_ - p >= kReach) {
      const std::size_t first = bytes < 16 ? bytes : 16;
      const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLanes + 16 - first));
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_adds_epu8(pixels, _mm_and_si128(grey, lanes)));
      if (kBytes == 4 && bytes > 16) {
        const __m128i rest = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLanes + 32 - bytes));
        const __m128i more = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_adds_epu8(more, _mm_and_si128(grey, rest)));
      }
      Record(lo, py, hi - lo + 1);
      continue;
    }
#endif
    for (std::size_t i = 0; i < bytes; i += kBytes) {
      for (int c = 0; c < 3; ++c) p[i + c] = SaturatingAdd(p[i + c], disc.grey);
    }
    Record(lo, py, hi - lo + 1);
  }
}

void FramePainter::AddSprite(int x, int y, int r, const RasterImage& sprite) {
  if (top_ == nullptr) return;
  // Most sprites of a frame belong to flakes still above the top edge: a
  // square with no pixel in the frame is dropped before anything else.
  if (r >= 1 && r <= kMaxFastRadius && (y + r < 0 || y - r >= height_ || x + r < 0 || x - r >= width_)) return;
  constexpr int kEdge = 64;
  if (r < 1 || r > kMaxFastRadius || sprite.Width() != kEdge + 1 || sprite.Height() != kEdge + 1 ||
      sprite.Depth() != 24 || sprite.RowAddress(0) == nullptr) {
    wholeFrameDirty_ = true;
    RasterImage* canvas = GeneralCanvas();
    if (canvas == nullptr) return;
    AddTexturedQuad(*canvas, Quad{x - r, y - r, x + r, y - r, x + r, y + r, x - r, y + r}, sprite,
                    Quad{0, 0, kEdge, 0, kEdge, kEdge, 0, kEdge});
    const std::int64_t a = std::int64_t{x} - r;
    const std::int64_t b = std::int64_t{x} + r;
    const std::int64_t c = std::int64_t{y} - r;
    const std::int64_t d = std::int64_t{y} + r;
    AddScratch(std::min(a, b), std::max(a, b), std::min(c, d), std::max(c, d));
    return;
  }
  if (bytesPerPixel_ == 4) {
    AddSpriteIn<4>(x, y, r, sprite);
  } else {
    AddSpriteIn<3>(x, y, r, sprite);
  }
}

template <int kBytes>
void FramePainter::AddSpriteIn(int x, int y, int r, const RasterImage& sprite) {
  constexpr int kEdge = 64;
  int lo = x - r;
  int hi = x + r;
  int top = y - r;
  int bottom = y + r;
  if (!ClipRange(&lo, &hi, width_) || !ClipRange(&top, &bottom, height_)) return;

  // On this square every row and column samples texel (64 * i) / (2r) for
  // its offset i from the top-left corner, the same map both ways.
  static_assert(kMaxFastRadius <= kTableRadius, "a texel map for every radius drawn here");
  static_assert(kEdge == 64, "the texel maps are for 65 x 65 sprites");
  const std::uint8_t* texelOf = &kTexelTable.at[r * r - 1];
  const std::uint8_t* spriteTop = sprite.RowAddress(0);
  const std::ptrdiff_t spriteRowStep = -static_cast<std::ptrdiff_t>(sprite.Stride());  // rows lie bottom-up
  const int firstColumn = lo - (x - r);
  const int columns = hi - lo + 1;
  const std::size_t bytes = kBytes * static_cast<std::size_t>(columns);
  for (int py = top; py <= bottom; ++py) {
    const std::uint8_t* texels = spriteTop + texelOf[py - (y - r)] * spriteRowStep;
    std::uint8_t* row = texelRow_.data();
    for (int c = 0; c < columns; ++c) CopyTexel<kBytes>(row + kBytes * c, texels + 3 * texelOf[firstColumn + c]);
    std::uint8_t* p = PixelAddress(lo, py);
    AddSaturated(p, row, bytes, blockEnd_);
    Record(lo, py, columns);
  }
}

}  // namespace kivo
