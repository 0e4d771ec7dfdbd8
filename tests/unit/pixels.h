// Reading pixels back, and seeded scenes, for the tests of the rasterisers,
// the scenes and the frames.
#pragma once

#include <array>
#include <memory>

#include "flakes/snow_scene.h"
#include "raster/raster_image.h"

namespace kivo::pixels {

using Rgb = std::array<int, 3>;  // red, green, blue

inline Rgb At(const RasterImage& image, int x, int y) {
  Rgb c{-1, -1, -1};
  image.GetPixel(x, y, &c[0], &c[1], &c[2]);
  return c;
}

// Pixels whose `channel` (0 red, 1 green, 2 blue; -1 any) is not 0.
inline int CountLit(const RasterImage& image, int channel = -1) {
  int lit = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) {
      const Rgb c = At(image, x, y);
      lit += channel < 0 ? c != Rgb{0, 0, 0} : c[static_cast<std::size_t>(channel)] != 0;
    }
  return lit;
}

// A scene started from `seed`, drawing where `target` says.
inline std::unique_ptr<SnowScene> Scene(std::uint32_t seed, int w, int h, int count, const FrameTarget& target = {}) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(seed);
  scene->Start(w, h, count);
  if (target != FrameTarget{}) scene->SetTarget(target);
  return scene;
}

}  // namespace kivo::pixels
