#include "flakes/flake_sprite.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

struct Rgb {
  int r, g, b;
};

Rgb At(const RasterImage& image, int x, int y) {
  Rgb c{-1, -1, -1};
  image.GetPixel(x, y, &c.r, &c.g, &c.b);
  return c;
}

class WhiteSprite : public ::testing::Test {
 protected:
  void SetUp() override { BuildFlakeSprite(sprite, 255, 255, 255); }
  int Grey(int x, int y) {
    const Rgb c = At(sprite, x, y);
    EXPECT_TRUE(c.r == c.g && c.g == c.b) << x << "," << y;
    return c.r;
  }
  RasterImage sprite;
};

TEST_F(WhiteSprite, FallsOffAsTheSquareOfOneMinusDistanceSquared) {
  ASSERT_EQ(sprite.Width(), 65);
  ASSERT_EQ(sprite.Height(), 65);
  EXPECT_EQ(Grey(32, 32), 255);
  EXPECT_EQ(Grey(33, 32), 254);
  EXPECT_EQ(Grey(48, 32), 143);
  EXPECT_EQ(Grey(32, 48), 143);
  EXPECT_EQ(Grey(40, 40), 195);
  EXPECT_EQ(Grey(56, 32), 48);
  EXPECT_EQ(Grey(60, 32), 14);
  EXPECT_EQ(Grey(62, 32), 3);
  EXPECT_EQ(Grey(63, 32), 0);
}

TEST_F(WhiteSprite, RimAndCornersAreBlackAndCountsMatch) {
  for (auto [x, y] : {std::pair{0, 32}, {32, 0}, {64, 32}, {32, 64}, {0, 0}, {64, 0}, {0, 64}, {64, 64}}) {
    EXPECT_EQ(Grey(x, y), 0) << x << "," << y;
  }
  int lit = 0;
  for (int y = 0; y < 65; ++y)
    for (int x = 0; x < 65; ++x) lit += Grey(x, y) != 0;
  EXPECT_EQ(lit, 2997);
}

TEST_F(WhiteSprite, IsSymmetricAboutBothAxesAndDiagonals) {
  for (int y = 0; y < 65; ++y)
    for (int x = 0; x < 65; ++x) {
      const int v = Grey(x, y);
      ASSERT_EQ(v, Grey(64 - x, y));
      ASSERT_EQ(v, Grey(x, 64 - y));
      ASSERT_EQ(v, Grey(y, x));
      ASSERT_EQ(v, Grey(64 - y, 64 - x));
    }
}

TEST(FlakeSprites, CentreEqualsTheTintAndChannelsScaleIndependently) {
  for (const Tint& tint : kSpriteTints) {
    RasterImage sprite;
    BuildFlakeSprite(sprite, tint.red, tint.green, tint.blue);
    const Rgb c = At(sprite, 32, 32);
    EXPECT_EQ(c.r, static_cast<int>(tint.red));
    EXPECT_EQ(c.g, static_cast<int>(tint.green));
    EXPECT_EQ(c.b, static_cast<int>(tint.blue));
  }
  RasterImage sprite1;
  BuildFlakeSprite(sprite1, 230, 230, 255);
  const Rgb c = At(sprite1, 48, 32);
  EXPECT_EQ(c.r, 129);
  EXPECT_EQ(c.g, 129);
  EXPECT_EQ(c.b, 143);
}

TEST(FlakeSprites, DistanceHelpers) {
  EXPECT_DOUBLE_EQ(PointDistance(1, 2, 4, 6), 5.0);
  EXPECT_DOUBLE_EQ(PixelDistance(0, 0, -3, 4), 5.0);
  EXPECT_DOUBLE_EQ(PixelDistance(-2147483647, 0, 2147483647, 0), 4294967294.0);
}

}  // namespace
}  // namespace kivo
