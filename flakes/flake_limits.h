// How many flakes there may be, written once for every program: the field's
// capacity, the stored setting's default and the settings slider's range.
#pragma once

#include <cstdint>

namespace kivo {

constexpr std::int32_t kFlakeCapacity = 30000;      // records in the flake field
constexpr std::int32_t kDefaultFlakeCount = 10000;  // when nothing is stored or given
constexpr std::int32_t kSliderMinimum = 2000;       // the settings dialog's range,
constexpr std::int32_t kSliderMaximum = kFlakeCapacity;  // up to a full field

// Any stored or requested count, limited to what the field holds.
constexpr std::int32_t ClampToFieldCapacity(std::int64_t count) {
  return static_cast<std::int32_t>(count < 0 ? 0 : count > kFlakeCapacity ? kFlakeCapacity : count);
}

// A count brought into the slider's range, as the settings dialog would.
constexpr std::int32_t ClampToSliderRange(std::int64_t count) {
  return static_cast<std::int32_t>(count < kSliderMinimum ? kSliderMinimum
                                   : count > kSliderMaximum ? kSliderMaximum
                                                            : count);
}

}  // namespace kivo
