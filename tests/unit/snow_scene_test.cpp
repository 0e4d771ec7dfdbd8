#include "flakes/snow_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "flakes/projection.h"
#include "tests/unit/pixels.h"

namespace kivo {
namespace {

// A seed whose first draw is 3277 / 32768: just above the gust probability
// of 0.1, so the flake gets no gust.
constexpr std::uint32_t kNoGust = 0x1E81F641u;

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

int DrawsBetween(std::uint32_t from, std::uint32_t to) {
  RandomSource r;
  r.SeedRandom(from);
  for (int n = 0; n < 1000; ++n, r.NextOutput()) {
    if (r.State() == to) return n;
  }
  return -1;
}

// One live flake, placed by the test, in a 200 x 100 frame.
class SingleFlake : public ::testing::Test {
 protected:
  int Step(FlakeState f, std::uint32_t seed) {
    scene->Start(200, 100, 1);
    scene->Field().Set(0, f);
    scene->Random().SeedRandom(seed);
    scene->RenderFrame();
    return DrawsBetween(seed, scene->Random().State());
  }
  int Lit() const { return pixels::CountLit(scene->FrameBuffer(), 0); }
  std::unique_ptr<SnowScene> scene = std::make_unique<SnowScene>();
};

TEST_F(SingleFlake, RespawnsComeFromStrictTestsAndDrawAtTheOldPlace) {
  for (const auto& [flake, draws] : {std::pair{FlakeState{-99, 0, 500, 0, 0, 0}, 1},  // sx = 1 = r: kept
                                     {FlakeState{-99.5, 0, 500, 0, 0, 0}, 7},            // sx < r: respawned once
                                     {FlakeState{100.5, 0, 500, 0, 0, 0}, 1},            // W < sx = W + r - 0.5: kept
                                     {FlakeState{101.5, 0, 500, 0, 0, 0}, 7},            // beyond W + r
                                     {FlakeState{0, 51, 500, 0, 0, 0}, 1},               // sy = H + r: kept
                                     {FlakeState{0, 51.5, 500, 0, 0, 0}, 7},             // below H + r
                                     {FlakeState{101.5, 51.5, 500, 0, 0, 0}, 13}}) {  // each test that holds respawns
    EXPECT_EQ(Step(flake, kNoGust), draws) << flake.x << "," << flake.y << "," << flake.z;
  }
  EXPECT_EQ(Step(FlakeState{0, 0, 10, 0, 0, -5}, kNoGust), 2) << "depth exactly 5 after the move is kept";
  EXPECT_GE(Step(FlakeState{0, 0, 10, 0, 0, -5.1}, kNoGust), 7) << "depth below 5: respawned before projecting";
  EXPECT_GE(scene->Field().Get(0).z, 10.0);
  Step(FlakeState{-99.5, 0, 500, 0, 0, 0}, kNoGust);
  EXPECT_EQ(Lit(), 4) << "the respawned flake is still drawn at x = 0 (one pixel clipped)";
}

TEST_F(SingleFlake, AResizeKeepsTheFlakes) {
  Step(FlakeState{0, 0, 501, 0, 0, 0}, kNoGust);
  const std::uint32_t drawn = scene->Random().State();
  scene->Resize(101, 41);
  EXPECT_EQ(scene->Random().State(), drawn) << "a resize draws nothing";
  EXPECT_EQ(scene->Field().Get(0).z, 501.0) << "and keeps the flakes where they are";
}

TEST(SnowScene, NoFlakesOrNoFrameBuffer) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(3);
  scene->Start(64, 48, 0);
  scene->RenderFrame();
  EXPECT_EQ(scene->Random().State(), 3u) << "no flakes draw no random numbers";
  EXPECT_EQ(pixels::CountLit(scene->FrameBuffer()), 0);

  scene->Start(0, 48, 100);
  const std::uint32_t before = scene->Random().State();
  scene->RenderFrame();
  EXPECT_TRUE(scene->Frame().Empty());
  EXPECT_NE(scene->Random().State(), before) << "without a frame buffer the snow still moves";

  scene->Start(100, 80, 500);
  const FlakeState first = scene->Field().Get(0);
  scene->Stop();
  EXPECT_EQ(scene->FrameBuffer().RowAddress(0), nullptr);
  for (int i = 0; i < kSpriteCount; ++i) EXPECT_EQ(scene->Sprite(i).Width(), 0) << i;
  const FlakeState kept = scene->Field().Get(0);
  EXPECT_EQ(std::memcmp(&first, &kept, sizeof first), 0) << "Stop keeps the flakes";
}

TEST(Projection, RefusesDepthsBelowTheGuardAndNotANumber) {
  for (double z : {9.99e-9, -9.99e-9, 0.0, std::nan("")}) {
    double sx = 7, sy = 7;
    EXPECT_EQ(Project(1, 1, z, 500, &sx, &sy), 0) << z;
    EXPECT_EQ(sx + sy, 14) << "outputs untouched";
  }
  double sx = 0, sy = 0;
  EXPECT_EQ(Project(1e-8, 2e-8, 1e-8, 500, &sx, &sy), 1);
  EXPECT_EQ(Project(1, 1, -1e-8, 500, &sx, &sy), 1);
  EXPECT_EQ(Project(2, -4, 250, 500, &sx, &sy), 1);
  EXPECT_EQ(sx, 4);
  EXPECT_EQ(sy, -8);
}

}  // namespace
}  // namespace kivo
