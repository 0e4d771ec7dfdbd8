// The simulated flakes: a fixed field of records, of which the first
// `count` are live, and the spawning rules that (re)place a flake above the
// top edge, far away, drifting down and towards the viewer.
#pragma once

#include <cstdint>
#include <vector>

#include "flakes/flake_limits.h"
#include "flakes/random_source.h"

namespace kivo {

// One flake in world units; velocities are per 30 ms tick.
struct FlakeState {
  double x, y, z, vx, vy, vz;
};

// Overwrites all six fields from six successive draws of `draw` (each in
// [0, 1)); W and H are the target size in pixels. Each formula runs left to
// right; the draw order is part of the picture, since one stream feeds the
// whole frame step.
template <typename Draw>
void SpawnFlakeFrom(FlakeState& flake, Draw&& draw, int width, int height) {
  const double w = width;
  const double h = height;
  flake.x = (draw() - 0.5) * w * 2.5;
  flake.z = draw() * 1000 + 10;
  // The first term puts the projected row on the top edge; the second lifts
  // the flake further above it.
  flake.y = -(h * flake.z * 0.001) - draw() * h * 0.5;
  flake.vx = (draw() - 0.5) * w * 0.001;
  flake.vy = draw() * h * 0.001 + 3;
  flake.vz = -(draw() * 70) - 1;
}

inline void SpawnFlake(FlakeState& flake, RandomSource& random, int width, int height) {
  SpawnFlakeFrom(flake, [&random] { return random.UniformRandom(); }, width, height);
}

// The field keeps each of the six values of every flake in an array of its
// own (every x, then every y, ...), so that the frame step moves and
// projects several flakes with one vector instruction per operation.
class FlakeField {
 public:
  FlakeField();

  FlakeState Get(std::int32_t i) const {
    const auto k = static_cast<std::size_t>(i);
    return FlakeState{x_[k], y_[k], z_[k], vx_[k], vy_[k], vz_[k]};
  }
  void Set(std::int32_t i, const FlakeState& f) {
    const auto k = static_cast<std::size_t>(i);
    x_[k] = f.x;
    y_[k] = f.y;
    z_[k] = f.z;
    vx_[k] = f.vx;
    vy_[k] = f.vy;
    vz_[k] = f.vz;
  }

  // Spawns records 0 .. count - 1 in order; count is clamped to the field.
  void SpawnAllFlakes(std::int32_t count, RandomSource& random, int width, int height);

  double* X() { return x_; }
  double* Y() { return y_; }
  double* Z() { return z_; }
  double* VX() { return vx_; }
  double* VY() { return vy_; }
  double* VZ() { return vz_; }

 private:
  std::vector<double> storage_;  // the six arrays, one after the other
  double* x_;
  double* y_;
  double* z_;
  double* vx_;
  double* vy_;
  double* vz_;
};

}  // namespace kivo
