#include "settings/win32/registry_store.h"

namespace kivo {
namespace {

constexpr char kSettingsKey[] = "Software\\Orvek\\SCREEN SAVER\\KIVO";
constexpr char kCountValue[] = "COUNT";

}  // namespace

bool RegistrySettingsStore::OpenOrCreate() {
  Close();
  char emptyClass[] = "";
  return RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         nullptr, &key_, nullptr) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::ReadCount(std::uint8_t* buffer, std::uint32_t size) {
  DWORD length = size;
  return RegQueryValueExA(key_, kCountValue, nullptr, nullptr, buffer, &length) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::WriteCount(std::int32_t value) {
  const DWORD stored = static_cast<DWORD>(value);
  return RegSetValueExA(key_, kCountValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored),
                        sizeof stored) == ERROR_SUCCESS;
}

void RegistrySettingsStore::Close() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}

}  // namespace kivo
