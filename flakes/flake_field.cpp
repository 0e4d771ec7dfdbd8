#include "flakes/flake_field.h"

namespace kivo {

FlakeField::FlakeField() : storage_(6 * static_cast<std::size_t>(kFlakeCapacity), 0.0) {
  x_ = storage_.data();
  y_ = x_ + kFlakeCapacity;
  z_ = y_ + kFlakeCapacity;
  vx_ = z_ + kFlakeCapacity;
  vy_ = vx_ + kFlakeCapacity;
  vz_ = vy_ + kFlakeCapacity;
}

void FlakeField::SpawnAllFlakes(std::int32_t count, RandomSource& random, int width, int height) {
  const std::int32_t live = ClampToFieldCapacity(count);
  for (std::int32_t i = 0; i < live; ++i) {
    FlakeState f{};
    SpawnFlake(f, random, width, height);
    Set(i, f);
  }
}

}  // namespace kivo
