// The fast rasterisers and frame step against the straightforward rendering
// in tests/reference: random shapes clipped at every edge of odd-sized
// images, and whole frames over many ticks, must match byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "flakes/flake_sprite.h"
#include "flakes/frame_painter.h"
#include "raster/additive_rasterisers.h"
#include "tests/reference/reference_renderer.h"
#include "tests/unit/frame_checks.h"
#include "tests/unit/pixels.h"

namespace kivo {
namespace {

// Compares every pixel, and checks that no row padding was written.
::testing::AssertionResult SamePixels(const RasterImage& fast, const reference::Image& slow) {
  if (fast.Width() != slow.width || fast.Height() != slow.height) return ::testing::AssertionFailure() << "sizes";
  for (int y = 0; y < slow.height; ++y) {
    const std::uint8_t* row = fast.RowAddress(y);
    const std::uint8_t* expected = &slow.bgr[static_cast<std::size_t>(y) * slow.width * 3];
    for (int i = 0; i < slow.width * 3; ++i) {
      if (row[i] != expected[i]) {
        return ::testing::AssertionFailure() << "pixel (" << i / 3 << ", " << y << ") byte " << i % 3 << ": "
                                             << int{row[i]} << " instead of " << int{expected[i]};
      }
    }
    for (int i = slow.width * 3; i < fast.Stride(); ++i) {
      if (row[i] != 0) return ::testing::AssertionFailure() << "padding written in row " << y;
    }
  }
  return ::testing::AssertionSuccess();
}

// Random content with plenty of black texels and bright ones that saturate.
void FillRandom(RasterImage* fast, reference::Image* slow, int w, int h, std::mt19937* rng) {
  ASSERT_EQ(fast->Create(w, h, 24), 1);
  slow->Create(w, h);
  std::uniform_int_distribution<int> channel(0, 255);
  std::bernoulli_distribution black(0.3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool dark = black(*rng);
      const int r = dark ? 0 : channel(*rng), g = dark ? 0 : channel(*rng), b = dark ? 0 : channel(*rng);
      fast->SetPixel(x, y, r, g, b);
      slow->Add(x, y, r, g, b);
    }
}

TEST(FastPathEquivalence, ThousandsOfCirclesClippedAtEveryEdge) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> size(1, 61);
    const int w = size(rng) | 1, h = size(rng);
    RasterImage fast;
    reference::Image slow;
    FillRandom(&fast, &slow, w, h, &rng);
    std::uniform_int_distribution<int> cx(-15, w + 15), cy(-15, h + 15), radius(-2, 14), grey(0, 200);
    for (int i = 0; i < 100; ++i) {
      const int x = cx(rng), y = cy(rng), r = radius(rng), c = grey(rng);
      fast.AddFilledCircle(x, y, r, c, c / 2, 255 - c);
      reference::AddFilledCircle(slow, x, y, r, c, c / 2, 255 - c);
    }
    // Large discs centred far outside, whose walk may stop early.
    std::uniform_int_distribution<int> far(-3000, 3000), large(100, 3000);
    for (int i = 0; i < 10; ++i) {
      const int x = far(rng), y = far(rng), r = large(rng);
      fast.AddFilledCircle(x, y, r, 7, 7, 7);
      reference::AddFilledCircle(slow, x, y, r, 7, 7, 7);
    }
    ASSERT_TRUE(SamePixels(fast, slow)) << "round " << round;
  }
}

TEST(FastPathEquivalence, ThousandsOfTexturedSpansAndQuads) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> size(1, 47);
    const int w = size(rng) | 1, h = size(rng), tw = size(rng), th = size(rng);
    RasterImage fast, fastTexture;
    reference::Image slow, slowTexture;
    FillRandom(&fast, &slow, w, h, &rng);
    FillRandom(&fastTexture, &slowTexture, tw, th, &rng);
    std::uniform_int_distribution<int> px(-20, w + 20), py(-20, h + 20), tc(-8, 60);
    for (int i = 0; i < 50; ++i) {
      const int x1 = px(rng), x2 = px(rng), y = py(rng), sA = tc(rng), tA = tc(rng), sB = tc(rng), tB = tc(rng);
      AddTexturedSpan(fast, x1, x2, y, fastTexture, sA, tA, sB, tB);
      reference::AddTexturedSpan(slow, x1, x2, y, slowTexture, sA, tA, sB, tB);
    }
    for (int i = 0; i < 50; ++i) {
      int p[8], t[8];
      for (int k = 0; k < 4; ++k) {
        p[2 * k] = px(rng), p[2 * k + 1] = py(rng), t[2 * k] = tc(rng), t[2 * k + 1] = tc(rng);
      }
      AddTexturedQuad(fast, Quad{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]}, fastTexture,
                      Quad{t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]});
      reference::AddTexturedQuad(slow, p, slowTexture, t);
    }
    ASSERT_TRUE(SamePixels(fast, slow)) << "round " << round;
  }
}

// The painter's discs and sprites, including the shapes it hands to the
// general rasterisers (large discs, sprites of radius 0 or above 100), must
// match the reference, clear to black, and report damage that keeps a copy
// of the frame exact; a painter on lent 32-bit rows draws the same colours
// with the same damage, and spares the rows' padding.
TEST(FastPathEquivalence, PainterShapesMatchClearToBlackAndReportTheirDamage) {
  std::mt19937 rng(99);
  RasterImage sprite;
  BuildFlakeSprite(sprite, 230, 255, 255);
  reference::Image slowSprite;
  reference::BuildSprite(slowSprite, 230, 255, 255);
  for (int round = 0; round < 12; ++round) {
    std::uniform_int_distribution<int> size(1, 301);
    const int w = size(rng) | 1, h = size(rng);
    RasterImage fast;
    ASSERT_EQ(fast.Create(w, h, 24), 1);
    const std::size_t bytes = static_cast<std::size_t>(fast.Stride()) * h;
    std::vector<std::uint8_t> kept(bytes, 0x5A);  // follows the frame through its damage only
    frames::LentRows lent(w, h);
    FramePainter painter, xrgb;
    painter.Reset(&fast);
    xrgb.Reset(lent.bytes.data(), w, h, lent.stride, false);
    const FrameView bgrView{FrameLayout::kBottomUpBgr24, fast.RowAddress(h - 1), fast.RowAddress(0), w, h,
                            fast.Stride(), {}};
    const FrameView xrgbView{frames::kXrgb, nullptr, lent.bytes.data(), w, h, lent.stride, {}};
    for (int frame = 0; frame < 7; ++frame) {
      painter.Clear();
      xrgb.Clear();
      reference::Image slow;
      slow.Create(w, h);
      ASSERT_TRUE(SamePixels(fast, slow)) << "clear left something, round " << round;
      const bool largeDiscs = frame == 2;
      const bool oddSprites = frame == 5;
      std::uniform_int_distribution<int> cx(-110, w + 110), cy(-110, h + 110), disc(-1, 2), odd(0, 49);
      std::uniform_int_distribution<int> big(oddSprites ? -1 : 1, oddSprites ? 110 : 100);
      for (int i = 0; i < 400; ++i) {
        const int x = cx(rng), y = cy(rng);
        if (i % 4 == 0) {
          const int r = big(rng);
          painter.AddSprite(x, y, r, sprite);
          xrgb.AddSprite(x, y, r, sprite);
          const int p[8] = {x - r, y - r, x + r, y - r, x + r, y + r, x - r, y + r};
          const int t[8] = {0, 0, 64, 0, 64, 64, 0, 64};
          reference::AddTexturedQuad(slow, p, slowSprite, t);
        } else {
          const int r = largeDiscs && odd(rng) < 2 ? 3 + odd(rng) % 5 : disc(rng);
          painter.AddDisc(x, y, r, 128);
          xrgb.AddDisc(x, y, r, 128);
          reference::AddFilledCircle(slow, x, y, r, 128, 128, 128);
        }
      }
      painter.Flush();
      xrgb.Flush();
      ASSERT_TRUE(SamePixels(fast, slow)) << "round " << round << " frame " << frame;
      const FrameDamage damage = painter.Damage();
      ASSERT_TRUE(frames::SameColours(bgrView, xrgbView)) << "round " << round << " frame " << frame;
      ASSERT_TRUE(frames::SameDamage(damage, xrgb.Damage()) && lent.PaddingKept(w)) << "32-bit damage or padding";
      const std::uint8_t* bits = fast.RowAddress(h - 1);
      // Whole for a fresh frame buffer, after drawing or clearing as a whole.
      EXPECT_EQ(damage.whole, frame == 0 || frame == 2 || frame == 3 || frame == 5 || frame == 6)
          << "round " << round << " frame " << frame;
      if (damage.whole) {
        kept.assign(bits, bits + bytes);
      } else {
        for (const auto* runs : {damage.cleared, damage.drawn}) {
          for (const FrameRun& run : *runs) {
            ASSERT_TRUE(run.row >= 0 && run.row < h && run.x >= 0 && run.pixels > 0 && run.x + run.pixels <= w);
            const std::size_t at = static_cast<std::size_t>(h - 1 - run.row) * fast.Stride() + 3 * run.x;
            std::memcpy(&kept[at], bits + at, 3 * static_cast<std::size_t>(run.pixels));
          }
        }
      }
      ASSERT_TRUE(std::equal(kept.begin(), kept.end(), bits)) << "damage missed a change, round " << round << " frame "
                                                              << frame;
    }
  }
}

// Every way of moving flakes the processor offers must draw the same frames;
// the counts leave every remainder of a vector's width over.
TEST(FastPathEquivalence, WholeFramesOverManyTicks) {
  struct FrameCase {
    std::uint32_t seed;
    int width, height, count, ticks;
  };
  const FrameCase cases[] = {
      {1, 320, 240, 3001, 200}, {4242, 97, 61, 30000, 60}, {7, 1023, 17, 4999, 80},
      {123456789, 1, 1, 2002, 30}, {31337, 641, 479, 10003, 120},
  };
  for (const MotionKind kind : {MotionKind::kScalar, MotionKind::kSse2, MotionKind::kAvx2}) {
    if (!MotionAvailable(kind)) continue;
    for (const FrameCase& c : cases) {
      auto fast = pixels::Scene(c.seed, c.width, c.height, c.count);
      fast->SetMotion(kind);
      reference::Scene slow(c.seed, c.width, c.height, c.count);
      for (int tick = 1; tick <= c.ticks; ++tick) {
        fast->RenderFrame();
        slow.Step();
        ASSERT_TRUE(SamePixels(fast->FrameBuffer(), slow.Frame())) << MotionName(kind) << " seed " << c.seed << " "
                                                                   << c.width << "x" << c.height << " tick " << tick;
      }
    }
  }
}

}  // namespace
}  // namespace kivo
