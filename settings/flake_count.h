// The one stored setting: how many flakes to simulate and draw.
#pragma once

#include <cstdint>

#include "flakes/flake_limits.h"

namespace kivo {

// The settings key, as the platform offers it.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens the key, creating it when it does not exist yet.
  virtual bool OpenOrCreate() = 0;
  // Reads "COUNT" into `size` bytes, whatever its stored type; false when the
  // value is missing or longer than `size`. Shorter values fill the front.
  virtual bool ReadCount(std::uint8_t* buffer, std::uint32_t size) = 0;
  virtual bool WriteCount(std::int32_t value) = 0;  // a 4-byte number
  virtual void Close() = 0;
};

// Stores the default in *count, then the stored value if it can be read.
// Returns false only when the key can be neither opened nor created.
bool ReadFlakeCount(SettingsStore& store, std::int32_t* count);

// Opens or creates the key and writes the count; false if the key failed.
bool WriteFlakeCount(SettingsStore& store, std::int32_t count);

}  // namespace kivo
