#include "flakes/flake_field.h"

#include <gtest/gtest.h>

#include <memory>

#include "flakes/random_source.h"

namespace kivo {
namespace {

TEST(RandomSource, FirstOutputsFromTheUnseededState) {
  RandomSource random;
  const int expected[] = {41, 18467, 6334, 26500, 19169};
  for (int value : expected) EXPECT_EQ(random.NextOutput(), value);
}

TEST(RandomSource, UniformIsOutputOver32768) {
  RandomSource random;
  random.SeedRandom(12345);
  RandomSource twin;
  twin.SeedRandom(12345);
  for (int i = 0; i < 1000; ++i) {
    const double u = random.UniformRandom();
    EXPECT_EQ(u, twin.NextOutput() / 32768.0);
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
  }
  EXPECT_EQ(0 * (1.0 / 32768.0), 0.0);
  EXPECT_EQ(16384 * (1.0 / 32768.0), 0.5);
  EXPECT_EQ(32767 * (1.0 / 32768.0), 0.999969482421875);
}

TEST(RandomSource, StateWrapsModulo2To32) {
  RandomSource random;
  random.SeedRandom(0xFFFFFFFFu);
  random.NextOutput();
  EXPECT_EQ(random.State(), 0xFFFFFFFFu * 214013u + 2531011u);
}

TEST(SpawnFlake, AllDrawsOneHalf) {
  FlakeState f{};
  SpawnFlakeFrom(f, [] { return 0.5; }, 800, 600);
  EXPECT_EQ(f.x, 0.0);
  EXPECT_EQ(f.z, 510.0);
  EXPECT_EQ(f.y, -456.0);
  EXPECT_EQ(f.vx, 0.0);
  EXPECT_DOUBLE_EQ(f.vy, 3.3);
  EXPECT_EQ(f.vz, -36.0);
  // Projects to the centre column and about 147 rows above the top edge.
  EXPECT_NEAR(500 * f.y / f.z + 300, -147.06, 0.01);
}

TEST(SpawnFlake, AllDrawsZero) {
  FlakeState f{};
  SpawnFlakeFrom(f, [] { return 0.0; }, 800, 600);
  EXPECT_EQ(f.x, -1000.0);
  EXPECT_EQ(f.z, 10.0);
  EXPECT_EQ(f.y, -6.0);
  EXPECT_EQ(f.vx, -0.4);
  EXPECT_EQ(f.vy, 3.0);
  EXPECT_EQ(f.vz, -1.0);
}

TEST(SpawnFlake, DrawsAreUsedInFieldOrder) {
  FlakeState f{};
  double next = 0.0;
  // 0.0, 0.1, ... 0.5 for x, z, y, vx, vy, vz
  SpawnFlakeFrom(f, [&next] { const double u = next; next += 0.1; return u; }, 1000, 1000);
  EXPECT_DOUBLE_EQ(f.x, -1250.0);
  EXPECT_DOUBLE_EQ(f.z, 110.0);
  EXPECT_DOUBLE_EQ(f.y, -110.0 - 100.0);
  EXPECT_DOUBLE_EQ(f.vx, -0.2);
  EXPECT_DOUBLE_EQ(f.vy, 3.4);
  EXPECT_DOUBLE_EQ(f.vz, -36.0);
}

TEST(FlakeFieldSpawn, SpawnsExactlyTheLiveRecordsWithSixDrawsEach) {
  auto field = std::make_unique<FlakeField>();
  RandomSource random;
  random.SeedRandom(7);
  RandomSource twin = random;
  field->SpawnAllFlakes(2000, random, 800, 600);
  for (int i = 0; i < 12000; ++i) twin.NextOutput();
  EXPECT_EQ(random.State(), twin.State());
  EXPECT_NE((*field)[1999].z, 0.0);
  const FlakeState& untouched = (*field)[2000];
  EXPECT_EQ(untouched.x, 0.0);
  EXPECT_EQ(untouched.z, 0.0);
  EXPECT_EQ(untouched.vz, 0.0);
}

TEST(FlakeFieldSpawn, CountIsClampedToTheField) {
  EXPECT_EQ(ClampToFieldCapacity(-5), 0);
  EXPECT_EQ(ClampToFieldCapacity(0), 0);
  EXPECT_EQ(ClampToFieldCapacity(30000), 30000);
  EXPECT_EQ(ClampToFieldCapacity(30001), 30000);
  EXPECT_EQ(ClampToFieldCapacity(2147483647), 30000);
  auto field = std::make_unique<FlakeField>();
  RandomSource random;
  const std::uint32_t before = random.State();
  field->SpawnAllFlakes(-1, random, 800, 600);
  EXPECT_EQ(random.State(), before);
  field->SpawnAllFlakes(99999, random, 800, 600);
  RandomSource twin;
  for (int i = 0; i < 6 * 30000; ++i) twin.NextOutput();
  EXPECT_EQ(random.State(), twin.State());
}

TEST(FlakeFieldSpawn, SpawnRangesHoldOverManyDraws) {
  RandomSource random;
  random.SeedRandom(99);
  for (int i = 0; i < 20000; ++i) {
    FlakeState f{};
    SpawnFlake(f, random, 640, 480);
    ASSERT_GE(f.x, -1.25 * 640);
    ASSERT_LT(f.x, 1.25 * 640);
    ASSERT_GE(f.z, 10.0);
    ASSERT_LT(f.z, 1010.0);
    ASSERT_LE(500 * f.y / f.z + 240, 1e-9) << "spawned below the top edge";
    ASSERT_GE(f.vy, 3.0);
    ASSERT_LT(f.vy, 3.0 + 0.48);
    ASSERT_GT(f.vz, -71.0);
    ASSERT_LE(f.vz, -1.0);
  }
}

}  // namespace
}  // namespace kivo
