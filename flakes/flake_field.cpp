#include "flakes/flake_field.h"

namespace kivo {

std::int32_t ClampToFieldCapacity(std::int64_t count) {
  if (count < 0) return 0;
  if (count > kFlakeCapacity) return kFlakeCapacity;
  return static_cast<std::int32_t>(count);
}

void FlakeField::SpawnAllFlakes(std::int32_t count, RandomSource& random, int width, int height) {
  const std::int32_t live = ClampToFieldCapacity(count);
  for (std::int32_t i = 0; i < live; ++i) SpawnFlake((*this)[i], random, width, height);
}

}  // namespace kivo
