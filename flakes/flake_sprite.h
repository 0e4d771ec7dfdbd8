// The flake sprites: soft 65 x 65 discs, brightest at the centre and fading
// to black 32 pixels out, one per tint.
#pragma once

#include "raster/raster_image.h"

namespace kivo {

constexpr int kSpriteSize = 65;
constexpr int kSpriteCount = 7;

struct Tint {
  double red, green, blue;
};

// The tints in the order the sprites are built (red, green, blue).
extern const Tint kSpriteTints[kSpriteCount];

double PointDistance(double x1, double y1, double x2, double y2);
double PixelDistance(int x1, int y1, int x2, int y2);

// Creates the image at 65 x 65 x 24 and paints the disc in the given tint.
void BuildFlakeSprite(RasterImage& image, double red, double green, double blue);

}  // namespace kivo
