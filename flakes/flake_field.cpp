#include "flakes/flake_field.h"

namespace kivo {

void FlakeField::SpawnAllFlakes(std::int32_t count, RandomSource& random, int width, int height) {
  const std::int32_t live = ClampToFieldCapacity(count);
  for (std::int32_t i = 0; i < live; ++i) SpawnFlake((*this)[i], random, width, height);
}

}  // namespace kivo
