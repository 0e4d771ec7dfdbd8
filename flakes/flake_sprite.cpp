#include "flakes/flake_sprite.h"

#include <cmath>

namespace kivo {

const Tint kSpriteTints[kSpriteCount] = {
    {255, 255, 255}, {230, 230, 255}, {230, 255, 230}, {230, 255, 255},
    {255, 230, 230}, {255, 230, 255}, {255, 255, 230},
};

double PointDistance(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  return std::sqrt(dx * dx + dy * dy);
}

double PixelDistance(int x1, int y1, int x2, int y2) {
  return PointDistance(static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(x2),
                       static_cast<double>(y2));
}

void BuildFlakeSprite(RasterImage& image, double red, double green, double blue) {
  constexpr int kRadius = kSpriteSize / 2;
  image.Create(kSpriteSize, kSpriteSize, 24);
  for (int i = -kRadius; i <= kRadius; ++i) {
    for (int j = -kRadius; j <= kRadius; ++j) {
      const double d = PixelDistance(0, 0, j, i);
      if (!(d < kRadius)) continue;
      // (1 - c^2)^2 falls smoothly from 1 at the centre to 0 at the rim.
      const double c = d * 0.03125;
      const double t = 1.0 - c * c;
      const double e = t * t;
      const int b8 = static_cast<int>(e * blue);
      const int g8 = static_cast<int>(e * green);
      const int r8 = static_cast<int>(e * red);
      image.SetPixel(kRadius + j, kRadius + i, r8, g8, b8);
    }
  }
}

}  // namespace kivo
