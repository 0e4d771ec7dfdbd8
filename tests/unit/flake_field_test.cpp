#include "flakes/flake_field.h"

#include <gtest/gtest.h>

#include <memory>

#include "flakes/random_source.h"

namespace kivo {
namespace {

TEST(RandomSource, TheGeneratorAndItsUniformDraws) {
  RandomSource random;
  for (int value : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(random.NextOutput(), value);
  random.SeedRandom(0xFFFFFFFFu);
  EXPECT_EQ(random.NextOutput(), 0x23);  // state 0x00235AC6 after wrapping
  EXPECT_EQ(random.State(), 0xFFFFFFFFu * 214013u + 2531011u);
  // Outputs 0, 16384 and 32767 as draws: 0, one half, 32767 / 32768.
  for (const auto& [seed, draw] : {std::pair{0xA170F641u, 0.0}, {0xE170F641u, 0.5}, {0xF01BF641u, 32767.0 / 32768}}) {
    random.SeedRandom(seed);
    EXPECT_EQ(random.UniformRandom(), draw) << std::hex << seed;
  }
}

TEST(SpawnFlake, EachDrawGoesToItsFieldInOrder) {
  struct Case {
    double draws[6];
    int width, height;
    FlakeState expected;
  };
  const Case cases[] = {
      {{0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, 800, 600, {0, -456, 510, 0, 3.3, -36}},
      {{0, 0, 0, 0, 0, 0}, 800, 600, {-1000, -6, 10, -0.4, 3, -1}},
      {{0, 0.1, 0.2, 0.3, 0.4, 0.5}, 1000, 600, {-1250, -66 - 60, 110, -0.2, 3.24, -36}},
  };
  for (const Case& c : cases) {
    FlakeState f{};
    int next = 0;
    SpawnFlakeFrom(f, [&] { return c.draws[next++]; }, c.width, c.height);
    EXPECT_EQ(next, 6);
    const double got[6] = {f.x, f.y, f.z, f.vx, f.vy, f.vz};
    const double want[6] = {c.expected.x, c.expected.y, c.expected.z, c.expected.vx, c.expected.vy, c.expected.vz};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "field " << i << ", draws from " << c.draws[1];
  }
}

TEST(FlakeField, SpawnsExactlyTheLiveRecordsWithSixDrawsEach) {
  auto field = std::make_unique<FlakeField>();
  RandomSource random;
  random.SeedRandom(7);
  RandomSource twin = random;
  field->SpawnAllFlakes(2000, random, 800, 600);
  for (int i = 0; i < 12000; ++i) twin.NextOutput();
  EXPECT_EQ(random.State(), twin.State());
  EXPECT_NE(field->Get(1999).z, 0.0);
  EXPECT_EQ(field->Get(2000).z, 0.0);
  EXPECT_EQ(field->Get(2000).vz, 0.0);

  for (const auto& [asked, live] : {std::pair{-5, 0}, {0, 0}, {1, 1}, {30000, 30000}, {30001, 30000},
                                    {2147483647, 30000}}) {
    EXPECT_EQ(ClampToFieldCapacity(asked), live) << asked;
  }
  const std::uint32_t before = random.State();
  field->SpawnAllFlakes(-1, random, 800, 600);
  EXPECT_EQ(random.State(), before);
  field->SpawnAllFlakes(99999, random, 800, 600);
  for (int i = 0; i < 6 * 30000; ++i) twin.NextOutput();
  EXPECT_EQ(random.State(), twin.State());
}

}  // namespace
}  // namespace kivo
