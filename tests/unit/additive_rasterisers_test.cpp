#include "raster/additive_rasterisers.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/unit/pixels.h"

namespace kivo {
namespace {

using pixels::At;
using pixels::CountLit;
using pixels::Rgb;

int Red(const RasterImage& image, int x, int y) { return At(image, x, y)[0]; }

TEST(FilledCircle, HugeRadiiAreRefusedOrWalkedOnlyWhereTheImageIs) {
  RasterImage image;
  ASSERT_EQ(image.Create(20, 20, 24), 1);
  // Found by fuzzing: this walk used to take about 1.5e9 steps.
  image.AddFilledCircle(-2147483647 + 3, -2147483647 + 3, 2147483647, 50, 50, 50);
  image.AddFilledCircle(10, 10, (1 << 24) + 1, 50, 50, 50);
  EXPECT_EQ(CountLit(image, 0), 0) << "past the limit a disc is refused";
  image.AddFilledCircle(10, -5000000, 1 << 24, 50, 50, 50);
  EXPECT_EQ(CountLit(image, 0), 400) << "within the limit a far larger disc still covers the image";
}

// Spans keep their end texels whichever way they run and wherever they are
// clipped; rows outside the image, degenerate quads, quads off the image or
// past the coordinate limit, and images without pixels draw nothing.
TEST(TexturedSpanAndQuad, EndsKeepTheirTexelsAndWhatCannotBeSeenDrawsNothing) {
  RasterImage texture, frame, empty;
  // Texel (s, t) holds red = s, green = t, blue = 1: each pixel tells which texel it received.
  ASSERT_EQ(texture.Create(16, 16, 24), 1);
  for (int t = 0; t < 16; ++t)
    for (int s = 0; s < 16; ++s) texture.SetPixel(s, t, s, t, 1);
  ASSERT_EQ(frame.Create(20, 10, 24), 1);
  AddTexturedSpan(frame, 10, 0, 1, texture, 2, 3, 12, 3);  // (2,3) at x = 10, (12,3) at x = 0
  EXPECT_EQ((std::vector<int>{Red(frame, 10, 1), Red(frame, 0, 1), Red(frame, 5, 1)}), (std::vector<int>{2, 12, 7}));
  AddTexturedSpan(frame, 4, 4, 0, texture, 9, 5, 1, 1);
  EXPECT_EQ(At(frame, 4, 0), (Rgb{9, 5, 1})) << "a one-pixel span takes its first texel";
  AddTexturedSpan(frame, -5, 9, 2, texture, 0, 0, 14, 7);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(frame, x, 2), (Rgb{x + 5, (x + 5) / 2, 1})) << x;
  AddTexturedSpan(frame, 0, 19, 10, texture, 1, 1, 1, 1);
  AddTexturedSpan(frame, 0, 19, -1, texture, 1, 1, 1, 1);
  const Quad tex{0, 0, 7, 0, 7, 7, 0, 7}, whole{0, 0, 19, 0, 19, 9, 0, 9};
  for (const Quad& q : {Quad{1, 4, 5, 4, 8, 4, 2, 4}, Quad{20, 1, 25, 1, 25, 6, 20, 6}, Quad{1, -9, 5, -9, 5, -1, 1, -1},
                        Quad{-9, 1, -1, 1, -1, 5, -9, 5}, Quad{1, 10, 5, 10, 5, 14, 1, 14}}) {
    AddTexturedQuad(frame, q, texture, tex);
  }
  AddTexturedQuad(frame, whole, empty, tex);
  AddTexturedQuad(empty, whole, texture, tex);
  // Corners past +-2^30 are refused, even at the int limits where the
  // interpolation would overflow 64 bits.
  constexpr int kMax = 2147483647;
  AddTexturedQuad(frame, Quad{-kMax, -kMax, kMax, -kMax, kMax, kMax, -kMax, kMax}, texture,
                  Quad{0, 0, kMax, 0, kMax, kMax, 0, kMax});
  EXPECT_EQ(CountLit(frame, 2), 1 + 11 + 10);
  EXPECT_EQ(empty.Width(), 0);

  // A quad reaching the limit covers the frame; every texture corner is
  // texel (0, 0), which holds (0, 0, 1).
  const int limit = kMaxTexturedCoordinate;
  AddTexturedQuad(frame, Quad{-limit, -limit, limit, -limit, limit, limit, -limit, limit}, texture,
                  Quad{0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(CountLit(frame, 2), 200);
  EXPECT_EQ(At(frame, 0, 0)[2], 1);
  AddTexturedSpan(frame, -limit - 1, 19, 0, texture, 0, 0, 0, 0);
  EXPECT_EQ(At(frame, 0, 0)[2], 1) << "a span past the limit is refused too";
}

}  // namespace
}  // namespace kivo
