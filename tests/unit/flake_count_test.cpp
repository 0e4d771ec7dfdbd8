#include "settings/flake_count.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "flakes/flake_field.h"

namespace kivo {
namespace {

// A settings key holding raw value bytes of any length, as a registry would.
struct FakeStore : SettingsStore {
  bool opens = true;
  bool present = false;
  std::vector<std::uint8_t> value;
  int opened = 0;
  int closed = 0;

  bool OpenOrCreate() override { return ++opened, opens; }
  bool ReadCount(std::uint8_t* buffer, std::uint32_t size) override {
    if (!present || value.size() > size) return false;
    if (!value.empty()) std::memcpy(buffer, value.data(), value.size());
    return true;
  }
  bool WriteCount(std::int32_t v) override {
    value.assign(4, 0);
    std::memcpy(value.data(), &v, 4);
    present = true;
    return true;
  }
  void Close() override { ++closed; }
  void Store(std::vector<std::uint8_t> bytes) {
    value = std::move(bytes);
    present = true;
  }
};

TEST(ReadFlakeCount, MissingValueGivesTheDefault) {
  FakeStore store;
  std::int32_t count = 0;
  EXPECT_TRUE(ReadFlakeCount(store, &count));
  EXPECT_EQ(count, 10000);
  EXPECT_EQ(store.closed, 1);
}

TEST(ReadFlakeCount, UnopenableKeyReportsFailureWithTheDefault) {
  FakeStore store;
  store.opens = false;
  std::int32_t count = 0;
  EXPECT_FALSE(ReadFlakeCount(store, &count));
  EXPECT_EQ(count, 10000);
  EXPECT_EQ(store.closed, 0);
}

TEST(ReadFlakeCount, StoredValuesOfEveryShape) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::int32_t read;
    std::int32_t used;  // after the clamp the scene applies
  };
  const Case cases[] = {
      {{0xC4, 0x09, 0, 0}, 2500, 2500},
      {{0x9F, 0x86, 0x01, 0x00}, 99999, 30000},
      {{0xFF, 0xFF, 0xFF, 0xFF}, -1, 0},
      {{0, 0, 0, 0}, 0, 0},
      {{0xCF, 0x07, 0, 0}, 1999, 1999},
      {{0x31, 0x75, 0, 0}, 30001, 30000},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 2147483647, 30000},
      {{0xC4, 0x09}, 2500, 2500},                          // a 2-byte value
      {{'2', '5', 0}, 0x3532, 13618},                       // a short string, read as bytes
      {{0x10, 0x27, 0, 0, 0, 0, 0, 0}, 10000, 10000},      // 8 bytes: unreadable, default
      {{'2', '5', '0', '0', 0}, 10000, 10000},              // "2500" as text is 5 bytes
      {{}, 0, 0},                                           // an empty value
  };
  for (const Case& c : cases) {
    FakeStore store;
    store.Store(c.bytes);
    std::int32_t count = -5;
    EXPECT_TRUE(ReadFlakeCount(store, &count));
    EXPECT_EQ(count, c.read) << "bytes " << c.bytes.size();
    EXPECT_EQ(ClampToFieldCapacity(count), c.used);
  }
}

TEST(WriteFlakeCount, WritesFourBytesOrReportsTheKey) {
  FakeStore store;
  EXPECT_TRUE(WriteFlakeCount(store, 2500));
  std::int32_t back = 0;
  ReadFlakeCount(store, &back);
  EXPECT_EQ(back, 2500);
  FakeStore locked;
  locked.opens = false;
  EXPECT_FALSE(WriteFlakeCount(locked, 2500));
  EXPECT_FALSE(locked.present);
}

}  // namespace
}  // namespace kivo
