// The settings key in the current user's registry hive.
#pragma once

#include <windows.h>

#include "settings/flake_count.h"

namespace kivo {

class RegistrySettingsStore : public SettingsStore {
 public:
  ~RegistrySettingsStore() override { Close(); }
  bool OpenOrCreate() override;
  bool ReadCount(std::uint8_t* buffer, std::uint32_t size) override;
  bool WriteCount(std::int32_t value) override;
  void Close() override;

 private:
  HKEY key_ = nullptr;
};

}  // namespace kivo
