#include "flakes/frame_painter.h"

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

// Adds n bytes of src to dst, each sum limited to 255.
void AddSaturated(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_adds_epu8(a, b));
  }
#endif
  for (; i < n; ++i) dst[i] = SaturatingAdd(dst[i], src[i]);
}

}  // namespace

void FramePainter::Reset(RasterImage* frame) {
  frame_ = frame;
  const bool drawable = frame != nullptr && frame->Depth() == 24 && frame->RowAddress(0) != nullptr;
  bits_ = drawable ? frame->RowAddress(frame->Height() - 1) : nullptr;
  width_ = drawable ? frame->Width() : 0;
  height_ = drawable ? frame->Height() : 0;
  stride_ = drawable ? frame->Stride() : 0;
  blockEnd_ = drawable ? bits_ + static_cast<std::ptrdiff_t>(stride_) * height_ : nullptr;
  drawn_.clear();
  drawn_.reserve(1u << 16);
  cleared_.clear();
  cleared_.reserve(1u << 16);
  pendingCount_ = 0;
  pendingNext_ = 0;
  wholeFrameDirty_ = false;
  wholeFrameCleared_ = true;
  freshFrame_ = true;
  texelRow_.assign(3 * (2 * kMaxFastRadius + 1), 0);
  texelIndex_.assign(2 * kMaxFastRadius + 1, 0);
}

void FramePainter::Clear() {
  if (bits_ == nullptr) return;
  if (wholeFrameDirty_) {
    frame_->FillRectangle(0, 0, width_ - 1, height_ - 1, 0, 0, 0);
  } else {
    for (const Span& s : drawn_) std::memset(PixelAddress(s.x, s.row), 0, 3 * static_cast<std::size_t>(s.pixels));
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
  damage.whole = bits_ == nullptr || wholeFrameCleared_ || wholeFrameDirty_;
  damage.cleared = &cleared_;
  damage.drawn = &drawn_;
  return damage;
}

void FramePainter::AddLargeDisc(int x, int y, int radius, int grey) {
  frame_->AddFilledCircle(x, y, radius, grey, grey, grey);
  wholeFrameDirty_ = true;
}

void FramePainter::Flush() {
  for (std::size_t i = 0; i < pendingCount_; ++i) {
    DrawDisc(pending_[(pendingNext_ + kPendingDiscs - pendingCount_ + i) % kPendingDiscs]);
  }
  pendingCount_ = 0;
}

void FramePainter::DrawDisc(const PendingDisc& disc) {
  const int r = disc.radius;
#if defined(__SSE2__)
  // A disc row is at most 15 bytes: one 16-byte saturating add whose lanes
  // past the row add 0, so the neighbours are written back unchanged.
  const bool wholeLanes = disc.grey >= 0 && disc.grey <= 255;
  const __m128i grey = _mm_set1_epi8(static_cast<char>(disc.grey));
#endif
  for (int row = 0; row <= 2 * r; ++row) {
    const int py = disc.y - r + row;
    int lo = disc.x - kDiscRows[r][row];
    int hi = disc.x + kDiscRows[r][row];
    if (!ClipRow(py, &lo, &hi)) continue;
    std::uint8_t* p = PixelAddress(lo, py);
    const std::size_t bytes = 3 * static_cast<std::size_t>(hi - lo + 1);
#if defined(__SSE2__)
    if (wholeLanes && blockEnd_ - p >= 16) {
      const __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstLanes + 16 - bytes));
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_adds_epu8(pixels, _mm_and_si128(grey, lanes)));
      Record(lo, py, hi - lo + 1);
      continue;
    }
#endif
    for (std::size_t i = 0; i < bytes; ++i) p[i] = SaturatingAdd(p[i], disc.grey);
    Record(lo, py, hi - lo + 1);
  }
}

void FramePainter::AddSprite(int x, int y, int r, const RasterImage& sprite) {
  if (bits_ == nullptr) return;
  constexpr int kEdge = 64;
  if (r < 1 || r > kMaxFastRadius || sprite.Width() != kEdge + 1 || sprite.Height() != kEdge + 1 ||
      sprite.Depth() != 24 || sprite.RowAddress(0) == nullptr) {
    AddTexturedQuad(*frame_, Quad{x - r, y - r, x + r, y - r, x + r, y + r, x - r, y + r}, sprite,
                    Quad{0, 0, kEdge, 0, kEdge, kEdge, 0, kEdge});
    wholeFrameDirty_ = true;
    return;
  }
  int lo = x - r;
  int hi = x + r;
  int top = y - r;
  int bottom = y + r;
  if (!ClipRange(&lo, &hi, width_) || !ClipRange(&top, &bottom, height_)) return;

  // On this square every row and column samples texel (64 * i) / (2r) for
  // its offset i from the top-left corner, the same map both ways.
  const int size = 2 * r + 1;
  for (int i = 0; i < size; ++i) texelIndex_[static_cast<std::size_t>(i)] = (kEdge * i) / (2 * r);
  const int firstColumn = lo - (x - r);
  const int columns = hi - lo + 1;
  const std::size_t bytes = 3 * static_cast<std::size_t>(columns);
  for (int py = top; py <= bottom; ++py) {
    const std::uint8_t* texels = sprite.RowAddress(texelIndex_[static_cast<std::size_t>(py - (y - r))]);
    std::uint8_t* row = texelRow_.data();
    for (int c = 0; c < columns; ++c) {
      std::memcpy(row + 3 * c, texels + 3 * texelIndex_[static_cast<std::size_t>(firstColumn + c)], 3);
    }
    std::uint8_t* p = PixelAddress(lo, py);
    AddSaturated(p, row, bytes);
    Record(lo, py, columns);
  }
}

}  // namespace kivo
