// Frames of the two layouts compared, and rows lent as a host lends them,
// for the tests of the frame layouts and of the painter.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "flakes/frame_view.h"

namespace kivo::frames {

constexpr FrameLayout kXrgb = FrameLayout::kTopDownXrgb32;
constexpr std::uint8_t kPadding = 0xA5;  // what lent rows hold past their pixels, and hold at first

// Every pixel of `b`, drawn in `layout`, against `bgr`'s; a 32-bit pixel's fourth byte is 0.
inline ::testing::AssertionResult SameColours(const FrameView& bgr, const FrameView& b, FrameLayout layout = kXrgb) {
  if (bgr.layout != FrameLayout::kBottomUpBgr24 || b.layout != layout || bgr.width != b.width ||
      bgr.height != b.height || bgr.Empty() || b.Empty()) {
    return ::testing::AssertionFailure() << "layouts or sizes";
  }
  for (int y = 0; y < bgr.height; ++y)
    for (int x = 0; x < bgr.width; ++x) {
      const std::uint8_t* p = bgr.Pixel(x, y);
      const std::uint8_t* q = b.Pixel(x, y);
      if (std::memcmp(p, q, 3) != 0 || (b.BytesPerPixel() == 4 && q[3] != 0)) {
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << "): " << int{p[0]} << "," << int{p[1]}
                                             << "," << int{p[2]} << " against " << int{q[0]} << "," << int{q[1]} << ","
                                             << int{q[2]};
      }
    }
  return ::testing::AssertionSuccess();
}

inline bool SameRuns(const std::vector<FrameRun>* a, const std::vector<FrameRun>* b) {
  auto same = [](const FrameRun& p, const FrameRun& q) { return p.row == q.row && p.x == q.x && p.pixels == q.pixels; };
  return a == nullptr || b == nullptr ? a == b : std::equal(a->begin(), a->end(), b->begin(), b->end(), same);
}

inline ::testing::AssertionResult SameDamage(const FrameDamage& a, const FrameDamage& b) {
  if (a.whole != b.whole) return ::testing::AssertionFailure() << "whole " << a.whole << " against " << b.whole;
  if (a.whole || (SameRuns(a.cleared, b.cleared) && SameRuns(a.drawn, b.drawn))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "runs differ";
}

// Rows lent by a host: padded, and full of something other than black.
struct LentRows {
  LentRows(int w, int h) : stride(4 * w + 12), bytes(static_cast<std::size_t>(stride) * h, kPadding) {}
  FrameTarget Target() { return FrameTarget{kXrgb, bytes.data(), stride}; }
  bool PaddingKept(int w) const {
    for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(stride)) {
      for (int i = 4 * w; i < stride; ++i) {
        if (bytes[at + static_cast<std::size_t>(i)] != kPadding) return false;
      }
    }
    return true;
  }
  int stride;
  std::vector<std::uint8_t> bytes;
};

}  // namespace kivo::frames
