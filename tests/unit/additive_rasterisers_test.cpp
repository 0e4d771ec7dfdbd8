#include "raster/additive_rasterisers.h"

#include <gtest/gtest.h>

#include <vector>

#include "raster/raster_image.h"

namespace kivo {
namespace {

int Red(const RasterImage& image, int x, int y) {
  int r = 0, g = 0, b = 0;
  image.GetPixel(x, y, &r, &g, &b);
  return r;
}

int Blue(const RasterImage& image, int x, int y) {
  int r = 0, g = 0, b = 0;
  image.GetPixel(x, y, &r, &g, &b);
  return b;
}

int CountLit(const RasterImage& image) {
  int lit = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) lit += Red(image, x, y) != 0;
  return lit;
}

// Half-width of the lit run centred on column cx in row y, -1 if unlit.
int HalfWidth(const RasterImage& image, int cx, int y) {
  if (Red(image, cx, y) == 0) return -1;
  int w = 0;
  while (Red(image, cx + w + 1, y) != 0) ++w;
  int left = 0;
  while (Red(image, cx - left - 1, y) != 0) ++left;
  EXPECT_EQ(left, w) << "row " << y << " is not symmetric";
  return w;
}

struct CircleCase {
  int radius;
  std::vector<int> halfWidths;  // by distance from the centre row
  int pixels;
};

TEST(FilledCircle, HalfWidthsAndPixelCountsMatchTheTable) {
  const CircleCase cases[] = {
      {1, {1, 0}, 5},
      {2, {2, 2, 0}, 17},
      {3, {3, 3, 3, 0}, 37},
      {4, {4, 4, 4, 3, 0}, 61},
      {5, {5, 5, 5, 4, 3, 0}, 89},
      {6, {6, 6, 6, 6, 5, 4, 0}, 133},
      {10, {10, 10, 10, 10, 10, 9, 8, 8, 6, 5, 0}, 345},
  };
  for (const CircleCase& c : cases) {
    RasterImage image;
    ASSERT_EQ(image.Create(41, 41, 24), 1);
    image.AddFilledCircle(20, 20, c.radius, 128, 128, 128);
    EXPECT_EQ(CountLit(image), c.pixels) << "radius " << c.radius;
    for (int d = 0; d <= c.radius; ++d) {
      EXPECT_EQ(HalfWidth(image, 20, 20 + d), c.halfWidths[d]) << "radius " << c.radius << " d " << d;
      EXPECT_EQ(HalfWidth(image, 20, 20 - d), c.halfWidths[d]) << "radius " << c.radius << " d " << -d;
    }
    EXPECT_EQ(HalfWidth(image, 20, 20 + c.radius + 1), -1);
  }
}

TEST(FilledCircle, EveryPixelIsAddedExactlyOnce) {
  RasterImage image;
  ASSERT_EQ(image.Create(30, 30, 24), 1);
  image.AddFilledCircle(15, 15, 9, 100, 100, 100);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const int r = Red(image, x, y);
      ASSERT_TRUE(r == 0 || r == 100) << x << "," << y << " got " << r;
    }
  image.AddFilledCircle(15, 15, 9, 100, 100, 100);
  image.AddFilledCircle(15, 15, 9, 100, 100, 100);
  EXPECT_EQ(Red(image, 15, 15), 255);
}

TEST(FilledCircle, HugeRadiiAreRefusedOrWalkedOnlyWhereTheImageIs) {
  RasterImage image;
  ASSERT_EQ(image.Create(20, 20, 24), 1);
  // Found by fuzzing: this walk used to take about 1.5e9 steps.
  image.AddFilledCircle(-2147483647 + 3, -2147483647 + 3, 2147483647, 50, 50, 50);
  image.AddFilledCircle(10, 10, RasterImage::kMaxCircleRadius + 1, 50, 50, 50);
  EXPECT_EQ(CountLit(image), 0);
  // Within the limit a disc far larger than the image still covers it whole.
  image.AddFilledCircle(10, -5000000, RasterImage::kMaxCircleRadius, 50, 50, 50);
  EXPECT_EQ(CountLit(image), 400);
}

TEST(FilledCircle, TwoGreyDiscsSaturateToWhite) {
  RasterImage image;
  ASSERT_EQ(image.Create(9, 9, 24), 1);
  image.AddFilledCircle(4, 4, 2, 128, 128, 128);
  image.AddFilledCircle(4, 4, 2, 128, 128, 128);
  EXPECT_EQ(Red(image, 4, 4), 255);
  EXPECT_EQ(Red(image, 4, 2), 255);
  EXPECT_EQ(Red(image, 4, 1), 0);
  EXPECT_EQ(CountLit(image), 17);
}

TEST(FilledCircle, RadiusZeroOrNegativeAddsTheCentrePixel) {
  RasterImage image;
  ASSERT_EQ(image.Create(5, 5, 24), 1);
  image.AddFilledCircle(2, 3, 0, 128, 128, 128);
  image.AddFilledCircle(1, 1, -7, 10, 10, 10);
  image.AddFilledCircle(-1, 0, 0, 10, 10, 10);
  EXPECT_EQ(Red(image, 2, 3), 128);
  EXPECT_EQ(Red(image, 1, 1), 10);
  EXPECT_EQ(CountLit(image), 2);
}

TEST(FilledCircle, ClippedCircleKeepsItsUnclippedSpans) {
  RasterImage reference;
  ASSERT_EQ(reference.Create(20, 20, 24), 1);
  reference.AddFilledCircle(10, 10, 2, 50, 50, 50);

  RasterImage top;
  ASSERT_EQ(top.Create(20, 20, 24), 1);
  top.AddFilledCircle(10, -1, 2, 50, 50, 50);  // rows 9..11 of the reference shape
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const int expected = y <= 1 ? Red(reference, x, y + 11) : 0;
      ASSERT_EQ(Red(top, x, y), expected) << x << "," << y;
    }

  RasterImage left;
  ASSERT_EQ(left.Create(20, 20, 24), 1);
  left.AddFilledCircle(0, 10, 10, 50, 50, 50);
  RasterImage whole;
  ASSERT_EQ(whole.Create(40, 20, 24), 1);
  whole.AddFilledCircle(20, 10, 10, 50, 50, 50);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(Red(left, x, y), Red(whole, x + 20, y)) << x << "," << y;

  RasterImage far;
  ASSERT_EQ(far.Create(20, 20, 24), 1);
  far.AddFilledCircle(100, 10, 5, 50, 50, 50);
  far.AddFilledCircle(10, -6, 5, 50, 50, 50);
  EXPECT_EQ(CountLit(far), 0);
}

// A texture whose texel (s, t) holds red = s, green = t, blue = 1, so every
// destination pixel tells which texel it received.
void MakeCoordinateTexture(RasterImage* texture, int size) {
  ASSERT_EQ(texture->Create(size, size, 24), 1);
  for (int t = 0; t < size; ++t)
    for (int s = 0; s < size; ++s) texture->SetPixel(s, t, s, t, 1);
}

TEST(TexturedQuad, WorkedExampleSamplesTheListedTexels) {
  RasterImage texture;
  MakeCoordinateTexture(&texture, 65);
  RasterImage frame;
  ASSERT_EQ(frame.Create(20, 20, 24), 1);
  AddTexturedQuad(frame, Quad{7, 7, 13, 7, 13, 13, 7, 13}, texture, Quad{0, 0, 64, 0, 64, 64, 0, 64});
  const int c[7] = {0, 10, 21, 32, 42, 53, 64};
  int lit = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      int r = 0, g = 0, b = 0;
      frame.GetPixel(x, y, &r, &g, &b);
      if (x >= 7 && x <= 13 && y >= 7 && y <= 13) {
        EXPECT_EQ(r, c[x - 7]) << x << "," << y;
        EXPECT_EQ(g, c[y - 7]) << x << "," << y;
        EXPECT_EQ(b, 1);
        ++lit;
      } else {
        ASSERT_EQ(b, 0) << x << "," << y;
      }
    }
  EXPECT_EQ(lit, 49);
}

TEST(TexturedQuad, DegenerateOrOffImageQuadsDrawNothing) {
  RasterImage texture;
  MakeCoordinateTexture(&texture, 8);
  RasterImage frame;
  ASSERT_EQ(frame.Create(10, 10, 24), 1);
  const Quad tex{0, 0, 7, 0, 7, 7, 0, 7};
  AddTexturedQuad(frame, Quad{1, 4, 5, 4, 8, 4, 2, 4}, texture, tex);
  AddTexturedQuad(frame, Quad{20, 1, 25, 1, 25, 6, 20, 6}, texture, tex);
  AddTexturedQuad(frame, Quad{1, -9, 5, -9, 5, -1, 1, -1}, texture, tex);
  int lit = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      int r = 0, g = 0, b = 0;
      frame.GetPixel(x, y, &r, &g, &b);
      lit += b != 0;
    }
  EXPECT_EQ(lit, 0);

  // Corners past +-2^30 are refused, even at the int limits where the
  // interpolation would overflow 64 bits.
  AddTexturedQuad(frame, Quad{-2147483647, -2147483647, 2147483647, -2147483647, 2147483647, 2147483647,
                              -2147483647, 2147483647},
                  texture, Quad{0, 0, 2147483647, 0, 2147483647, 2147483647, 0, 2147483647});
  EXPECT_EQ(Blue(frame, 5, 5), 0);

  // A quad reaching the limit covers the frame; every texture corner is
  // texel (0, 0), which holds (0, 0, 1).
  const int limit = kMaxTexturedCoordinate;
  AddTexturedQuad(frame, Quad{-limit, -limit, limit, -limit, limit, limit, -limit, limit}, texture,
                  Quad{0, 0, 0, 0, 0, 0, 0, 0});
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      int r = 0, g = 0, b = 0;
      frame.GetPixel(x, y, &r, &g, &b);
      ASSERT_EQ(b, 1) << x << "," << y;
      ASSERT_EQ(r + g, 0) << x << "," << y;
    }
  AddTexturedSpan(frame, -limit - 1, 9, 0, texture, 0, 0, 0, 0);
  EXPECT_EQ(Blue(frame, 0, 0), 1) << "a span past the limit is refused too";
}

TEST(TexturedQuad, EmptyTextureOrDestinationChangesNothing) {
  RasterImage empty;
  RasterImage frame;
  ASSERT_EQ(frame.Create(10, 10, 24), 1);
  AddTexturedQuad(frame, Quad{0, 0, 9, 0, 9, 9, 0, 9}, empty, Quad{0, 0, 64, 0, 64, 64, 0, 64});
  EXPECT_EQ(CountLit(frame), 0);
  RasterImage texture;
  MakeCoordinateTexture(&texture, 8);
  AddTexturedQuad(empty, Quad{0, 0, 9, 0, 9, 9, 0, 9}, texture, Quad{0, 0, 7, 0, 7, 7, 0, 7});
  EXPECT_EQ(empty.Width(), 0);
}

TEST(TexturedSpan, EndsKeepTheirTexelsWhateverTheOrder) {
  RasterImage texture;
  MakeCoordinateTexture(&texture, 16);
  RasterImage frame;
  ASSERT_EQ(frame.Create(20, 3, 24), 1);
  AddTexturedSpan(frame, 10, 0, 1, texture, 2, 3, 12, 3);  // (2,3) at x = 10, (12,3) at x = 0
  int r = 0, g = 0, b = 0;
  frame.GetPixel(10, 1, &r, &g, &b);
  EXPECT_EQ(r, 2);
  frame.GetPixel(0, 1, &r, &g, &b);
  EXPECT_EQ(r, 12);
  frame.GetPixel(5, 1, &r, &g, &b);
  EXPECT_EQ(r, 7);

  AddTexturedSpan(frame, 4, 4, 0, texture, 9, 5, 1, 1);
  frame.GetPixel(4, 0, &r, &g, &b);
  EXPECT_EQ(r, 9);
  EXPECT_EQ(g, 5);
}

TEST(TexturedSpan, ClippingDoesNotShiftTheTexture) {
  RasterImage texture;
  MakeCoordinateTexture(&texture, 16);
  RasterImage frame;
  ASSERT_EQ(frame.Create(10, 1, 24), 1);
  AddTexturedSpan(frame, -5, 9, 0, texture, 0, 0, 14, 0);
  for (int x = 0; x < 10; ++x) {
    int r = 0, g = 0, b = 0;
    frame.GetPixel(x, 0, &r, &g, &b);
    EXPECT_EQ(r, x + 5) << x;
  }
}

TEST(TexturedSpan, TexelsOutsideTheTextureOrBlackAddNothing) {
  RasterImage texture;
  ASSERT_EQ(texture.Create(4, 1, 24), 1);
  texture.SetPixel(1, 0, 30, 0, 0);  // texels 0, 2, 3 are black
  RasterImage frame;
  ASSERT_EQ(frame.Create(8, 1, 24), 1);
  frame.FillSpan(0, 7, 0, 5, 5, 5);
  AddTexturedSpan(frame, 0, 7, 0, texture, -2, 0, 5, 0);  // s = -2 .. 5
  const int expected[8] = {5, 5, 5, 35, 5, 5, 5, 5};
  for (int x = 0; x < 8; ++x) {
    int r = 0, g = 0, b = 0;
    frame.GetPixel(x, 0, &r, &g, &b);
    EXPECT_EQ(r, expected[x]) << x;
    EXPECT_EQ(g, 5) << x;
  }
}

TEST(TexturedQuad, NonConvexQuadFillsBetweenOuterEdges) {
  RasterImage texture;
  ASSERT_EQ(texture.Create(2, 2, 24), 1);
  texture.FillRectangle(0, 0, 1, 1, 40, 40, 40);
  RasterImage frame;
  ASSERT_EQ(frame.Create(12, 12, 24), 1);
  // An arrow head: corner 2 points back inside.
  AddTexturedQuad(frame, Quad{0, 0, 10, 5, 0, 10, 4, 5}, texture, Quad{0, 0, 1, 0, 1, 1, 0, 1});
  // Row 5 is crossed at x = 4 (the inner corner) and x = 10 only.
  EXPECT_EQ(Red(frame, 3, 5), 0);
  EXPECT_EQ(Red(frame, 4, 5), 40);
  EXPECT_EQ(Red(frame, 10, 5), 40);
  // Row 2 spans from the edge 3-0 (x = 2, truncated) to the edge 0-1 (x = 4).
  EXPECT_EQ(Red(frame, 1, 2), 0);
  EXPECT_EQ(Red(frame, 2, 2), 40);
  EXPECT_EQ(Red(frame, 4, 2), 40);
  EXPECT_EQ(Red(frame, 5, 2), 0);
}

}  // namespace
}  // namespace kivo
