// The stored flake count as a registry could hand it over: any type, any
// length, present or not; and what the scene makes of it.
#include <cstring>
#include <string>

#include "flakes/flake_field.h"
#include "settings/flake_count.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct BytesStore : kivo::SettingsStore {
  bool opens = true;
  bool present = true;
  std::string value;
  bool OpenOrCreate() override { return opens; }
  bool ReadCount(std::uint8_t* buffer, std::uint32_t size) override {
    if (!present || value.size() > size) return false;
    std::memcpy(buffer, value.data(), value.size());
    return true;
  }
  bool WriteCount(std::int32_t) override { return true; }
  void Close() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kivo::fuzz::FuzzInput in(data, size);
  BytesStore store;
  const auto flags = in.Take<std::uint8_t>();
  store.opens = (flags & 1) == 0;
  store.present = (flags & 2) == 0;
  store.value = in.Rest();
  std::int32_t count = -1;
  const bool opened = kivo::ReadFlakeCount(store, &count);
  if (!opened && count != kivo::kDefaultFlakeCount) __builtin_trap();
  const std::int32_t used = kivo::ClampToFieldCapacity(count);
  if (used < 0 || used > kivo::kFlakeCapacity) __builtin_trap();
  return 0;
}
