// Reads typed values from a fuzzer's bytes; past the end everything is zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kivo::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  template <typename T>
  T Take() {
    T value{};
    const std::size_t n = sizeof(T) < size_ - offset_ ? sizeof(T) : size_ - offset_;
    std::memcpy(&value, data_ + offset_, n);
    offset_ += n;
    return value;
  }
  int Int() { return Take<std::int32_t>(); }
  // A value in [lo, hi], spread evenly enough for a fuzzer.
  int IntIn(int lo, int hi) {
    const auto span = static_cast<std::uint32_t>(static_cast<std::int64_t>(hi) - lo + 1);
    return static_cast<int>(lo + static_cast<std::int64_t>(Take<std::uint32_t>() % span));
  }
  // Mostly small numbers, sometimes anything at all, sometimes an int limit.
  int Coordinate() {
    const int kind = Take<std::uint8_t>() % 4;
    if (kind == 0) return Int();
    if (kind == 1) return (Take<std::uint8_t>() & 1) != 0 ? 2147483647 - IntIn(0, 3) : -2147483647 - 1 + IntIn(0, 3);
    return IntIn(-300, 300);
  }
  std::string Rest() {
    std::string s(reinterpret_cast<const char*>(data_ + offset_), size_ - offset_);
    offset_ = size_;
    return s;
  }
  bool Empty() const { return offset_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

}  // namespace kivo::fuzz
