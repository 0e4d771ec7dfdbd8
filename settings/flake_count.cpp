#include "settings/flake_count.h"

namespace kivo {

bool ReadFlakeCount(SettingsStore& store, std::int32_t* count) {
  *count = kDefaultFlakeCount;
  if (!store.OpenOrCreate()) return false;
  // Zeroed first so that a value shorter than 4 bytes reads as a small
  // little-endian number rather than picking up stale bytes.
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  if (store.ReadCount(bytes, sizeof bytes)) {
    const std::uint32_t raw = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                              static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    *count = static_cast<std::int32_t>(raw);
  }
  store.Close();
  return true;
}

bool WriteFlakeCount(SettingsStore& store, std::int32_t count) {
  if (!store.OpenOrCreate()) return false;
  store.WriteCount(count);
  store.Close();
  return true;
}

}  // namespace kivo
