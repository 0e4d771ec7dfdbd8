#include "flakes/flake_sprite.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

#include "flakes/snow_scene.h"

namespace kivo {
namespace {

using Rgb = std::array<int, 3>;

Rgb At(const RasterImage& image, int x, int y) {
  Rgb c{-1, -1, -1};
  image.GetPixel(x, y, &c[0], &c[1], &c[2]);
  return c;
}

TEST(FlakeSprite, WhiteFallsOffAsTheSquareOfOneMinusDistanceSquared) {
  RasterImage sprite;
  BuildFlakeSprite(sprite, 255, 255, 255);
  ASSERT_EQ(sprite.Width(), 65);
  ASSERT_EQ(sprite.Height(), 65);
  struct Case {
    int x, y, grey;
  };
  for (const Case& c : {Case{32, 32, 255}, Case{33, 32, 254}, Case{48, 32, 143}, Case{32, 48, 143}, Case{40, 40, 195},
                        Case{56, 32, 48}, Case{60, 32, 14}, Case{62, 32, 3}, Case{63, 32, 0}, Case{0, 32, 0},
                        Case{32, 0, 0}, Case{64, 32, 0}, Case{32, 64, 0}, Case{0, 0, 0}, Case{64, 64, 0}}) {
    EXPECT_EQ(At(sprite, c.x, c.y), (Rgb{c.grey, c.grey, c.grey})) << c.x << "," << c.y;
  }
  int lit = 0;
  for (int y = 0; y < 65; ++y)
    for (int x = 0; x < 65; ++x) {
      const Rgb v = At(sprite, x, y);
      lit += v[0] != 0;
      ASSERT_EQ(v, At(sprite, 64 - x, y));
      ASSERT_EQ(v, At(sprite, x, 64 - y));
      ASSERT_EQ(v, At(sprite, y, x));
    }
  EXPECT_EQ(lit, 2997);
}

TEST(FlakeSprite, TheScenesSevenSpritesCarryTheirTintsInOrder) {
  const Rgb tints[7] = {{255, 255, 255}, {230, 230, 255}, {230, 255, 230}, {230, 255, 255},
                        {255, 230, 230}, {255, 230, 255}, {255, 255, 230}};
  auto scene = std::make_unique<SnowScene>();
  scene->Start(16, 16, 0);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(At(scene->Sprite(i), 32, 32), tints[i]) << "sprite " << i;
  EXPECT_EQ(At(scene->Sprite(1), 48, 32), (Rgb{129, 129, 143})) << "each channel scaled on its own";
  EXPECT_EQ(At(scene->Sprite(6), 56, 32), (Rgb{48, 48, 44}));
}

TEST(FlakeSprite, Distances) {
  EXPECT_DOUBLE_EQ(PointDistance(1, 2, 4, 6), 5.0);
  EXPECT_DOUBLE_EQ(PointDistance(4, 6, 1, 2), 5.0);
  EXPECT_DOUBLE_EQ(PixelDistance(0, 0, -3, 4), 5.0);
  EXPECT_DOUBLE_EQ(PixelDistance(-2147483647, 0, 2147483647, 0), 4294967294.0);
}

}  // namespace
}  // namespace kivo
