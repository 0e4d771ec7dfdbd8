// The one random stream of the saver: a 32-bit linear congruential generator
// whose output is bits 16..30 of the new state. Every random number in the
// animation comes from here, so a seed reproduces a run exactly.
#pragma once

#include <cstdint>

namespace kivo {

class RandomSource {
 public:
  static constexpr std::uint32_t kInitialState = 1;

  void SeedRandom(std::uint32_t seed) { state_ = seed; }

  // Next raw output, 0..32767.
  int NextOutput() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 32767u);
  }

  // Next draw in [0, 1): a multiple of 1/32768, never 1.
  double UniformRandom() { return NextOutput() * (1.0 / 32768.0); }

  std::uint32_t State() const { return state_; }

 private:
  std::uint32_t state_ = kInitialState;
};

}  // namespace kivo
