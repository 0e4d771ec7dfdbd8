#include "settings/flake_count.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace kivo {
namespace {

// A settings key holding raw value bytes of any length, as a registry would.
struct FakeStore : SettingsStore {
  bool opens = true, present = false;
  std::vector<std::uint8_t> value;
  int opened = 0, closed = 0;

  bool OpenOrCreate() override { return ++opened, opens; }
  bool ReadCount(std::uint8_t* buffer, std::uint32_t size) override {
    if (!present || value.size() > size) return false;
    if (!value.empty()) std::memcpy(buffer, value.data(), value.size());
    return true;
  }
  bool WriteCount(std::int32_t v) override {
    value.assign(4, 0);
    std::memcpy(value.data(), &v, 4);
    return present = true;
  }
  void Close() override { ++closed; }
};

TEST(FlakeCount, StoredValuesOfEveryShapeTheDefaultAndTheWrite) {
  struct Case {
    bool present;
    std::vector<std::uint8_t> bytes;
    std::int32_t read;
  };
  for (const Case& c : {Case{false, {}, 10000},                         // missing: the default
                        Case{true, {0xC4, 0x09, 0, 0}, 2500},
                        Case{true, {0x9F, 0x86, 0x01, 0x00}, 99999},     // used as it is
                        Case{true, {0xFF, 0xFF, 0xFF, 0xFF}, -1},
                        Case{true, {0x01, 0x02, 0x03, 0x04}, 0x04030201},  // little-endian
                        Case{true, {0xC4, 0x09}, 2500},                  // 2 bytes: the rest zero
                        Case{true, {'2', '5', 0}, 0x3532},               // a short string, read as bytes
                        Case{true, {0x10, 0x27, 0, 0, 0, 0, 0, 0}, 10000},  // 8 bytes: unreadable
                        Case{true, {}, 0}}) {                              // an empty value
    FakeStore store;
    store.present = c.present;
    store.value = c.bytes;
    std::int32_t count = -5;
    EXPECT_TRUE(ReadFlakeCount(store, &count));
    EXPECT_EQ(count, c.read) << c.bytes.size() << " bytes";
    EXPECT_EQ(store.opened * 10 + store.closed, 11) << "opened and closed once";
  }
  FakeStore store;
  EXPECT_TRUE(WriteFlakeCount(store, 2500));
  EXPECT_EQ(store.value, (std::vector<std::uint8_t>{0xC4, 0x09, 0, 0})) << "written as four bytes";
  EXPECT_EQ(store.closed, 1);
  FakeStore locked;
  locked.opens = false;
  std::int32_t count = 0;
  EXPECT_FALSE(ReadFlakeCount(locked, &count));
  EXPECT_EQ(count, 10000) << "a key that cannot be opened leaves the default";
  EXPECT_FALSE(WriteFlakeCount(locked, 2500));
  EXPECT_FALSE(locked.present);
  EXPECT_EQ(locked.closed, 0);
}

}  // namespace
}  // namespace kivo
