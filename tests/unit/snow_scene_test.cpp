#include "flakes/snow_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "flakes/projection.h"

namespace kivo {
namespace {

// Counts the generator steps that lead from one state to another.
int DrawsBetween(std::uint32_t from, std::uint32_t to) {
  RandomSource r;
  r.SeedRandom(from);
  for (int n = 0; n < 10000; ++n) {
    if (r.State() == to) return n;
    r.NextOutput();
  }
  return -1;
}

// A seed whose first output makes (or does not make) a gust.
std::uint32_t SeedWithFirstGust(bool gust) {
  for (std::uint32_t seed = 1;; ++seed) {
    RandomSource r;
    r.SeedRandom(seed);
    if ((r.NextOutput() <= 3276) == gust) return seed;
  }
}

class SingleFlake : public ::testing::Test {
 protected:
  // One live flake, placed by the test, in a 200 x 100 frame.
  void Place(FlakeState f, std::uint32_t seed) {
    scene->Start(200, 100, 1);
    scene->Field()[0] = f;
    scene->Random().SeedRandom(seed);
  }
  std::uint32_t Step() {
    const std::uint32_t before = scene->Random().State();
    scene->RenderFrame();
    return static_cast<std::uint32_t>(DrawsBetween(before, scene->Random().State()));
  }
  int Lit(int* value = nullptr) const {
    const RasterImage& fb = scene->FrameBuffer();
    int lit = 0;
    for (int y = 0; y < fb.Height(); ++y)
      for (int x = 0; x < fb.Width(); ++x) {
        int r = 0, g = 0, b = 0;
        fb.GetPixel(x, y, &r, &g, &b);
        if (r | g | b) {
          ++lit;
          if (value != nullptr) *value = r;
        }
      }
    return lit;
  }
  int RedAt(int x, int y) const {
    int r = 0, g = 0, b = 0;
    scene->FrameBuffer().GetPixel(x, y, &r, &g, &b);
    return r;
  }
  std::unique_ptr<SnowScene> scene = std::make_unique<SnowScene>();
};

TEST_F(SingleFlake, SizeFollowsDepth) {
  struct Case {
    double z;
    int pixels;
  };
  // Radius 2 disc, radius 1 disc, single pixel.
  for (const Case& c : {Case{250.0, 17}, Case{250.1, 5}, Case{501.0, 1}}) {
    Place(FlakeState{0, 0, c.z, 0, 0, 0}, SeedWithFirstGust(false));
    EXPECT_EQ(Step(), 1u) << "only the gust test draws for a disc";
    int value = 0;
    EXPECT_EQ(Lit(&value), c.pixels) << "depth " << c.z;
    EXPECT_EQ(value, 128);
    EXPECT_EQ(RedAt(100, 50), 128) << "drawn at the projected centre";
  }
}

TEST_F(SingleFlake, DepthBelow167IsASpriteQuad) {
  Place(FlakeState{0, 0, 166, 0, 0, 0}, SeedWithFirstGust(false));
  EXPECT_EQ(Step(), 2u) << "gust test plus sprite choice";
  // r = 3: the quad covers (97, 47) .. (103, 53); its outer texels are black.
  const RasterImage& fb = scene->FrameBuffer();
  for (int y = 0; y < fb.Height(); ++y)
    for (int x = 0; x < fb.Width(); ++x) {
      if (x >= 97 && x <= 103 && y >= 47 && y <= 53) continue;
      ASSERT_EQ(RedAt(x, y), 0) << x << "," << y;
    }
  EXPECT_GE(RedAt(100, 50), 230) << "the sprite's centre texel is its tint";
  EXPECT_EQ(RedAt(97, 47), 0);
}

TEST_F(SingleFlake, DepthExactlyFiveIsKeptBelowIsRespawned) {
  Place(FlakeState{0, 0, 10, 0, 0, -5}, SeedWithFirstGust(false));
  EXPECT_EQ(Step(), 2u) << "z = 5.0 stays: r = 100 sprite, gust test and sprite choice";
  EXPECT_EQ(scene->Field()[0].z, 5.0);

  Place(FlakeState{0, 0, 10, 0, 0, -5.1}, 1);
  const std::uint32_t draws = Step();
  EXPECT_GE(draws, 7u) << "respawn (6) + gust test";
  EXPECT_GE(scene->Field()[0].z, 10.0);
}

TEST_F(SingleFlake, OffScreenTestsAreStrict) {
  // At depth 500, one world unit is one pixel: r = 1, sx = x + 100.
  Place(FlakeState{-99, 0, 500, 0, 0, 0}, SeedWithFirstGust(false));  // sx = 1 = r
  EXPECT_EQ(Step(), 1u) << "sx equal to r is kept";
  Place(FlakeState{-99.5, 0, 500, 0, 0, 0}, SeedWithFirstGust(false));  // sx = 0.5 < r
  EXPECT_EQ(Step(), 7u) << "sx below r respawns once";
  EXPECT_EQ(Lit(), 4) << "the respawned flake is still drawn at its old place (x = -1 clipped)";
  Place(FlakeState{0, 51, 500, 0, 0, 0}, SeedWithFirstGust(false));  // sy = 101 = H + r
  EXPECT_EQ(Step(), 1u);
  Place(FlakeState{0, 51.5, 500, 0, 0, 0}, SeedWithFirstGust(false));
  EXPECT_EQ(Step(), 7u);
  Place(FlakeState{101.5, 51.5, 500, 0, 0, 0}, SeedWithFirstGust(false));  // below and right
  EXPECT_EQ(Step(), 13u) << "each test that holds respawns again";
}

TEST_F(SingleFlake, GustChangesOnlyTheSidewaysAndDownwardSpeeds) {
  const FlakeState start{3, 4, 400, 0.25, 0.5, -2};
  Place(start, SeedWithFirstGust(true));
  EXPECT_EQ(Step(), 3u);
  const FlakeState& f = scene->Field()[0];
  EXPECT_EQ(f.x, 3.25);
  EXPECT_EQ(f.y, 4.5);
  EXPECT_EQ(f.z, 398);
  EXPECT_EQ(f.vz, -2);
  EXPECT_NE(f.vx, 0.25);
  EXPECT_GE(f.vy, 3.0);
  EXPECT_LT(f.vy, 3.1);
}

TEST_F(SingleFlake, TheFinishedFrameIsABottomUpBlockOfTheWindowSize) {
  Place(FlakeState{0, 0, 300, 0, 0, 0}, 5);
  Step();
  const FrameView frame = scene->Frame();
  EXPECT_EQ(frame.width, 200);
  EXPECT_EQ(frame.height, 100);
  EXPECT_EQ(frame.stride, 600);
  EXPECT_EQ(frame.bottomRow, scene->FrameBuffer().RowAddress(99));
  EXPECT_EQ(frame.TopDownRow(0), scene->FrameBuffer().RowAddress(0));
}

TEST(SnowScene, NoFlakesGiveABlackFrameAndNoDraws) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(3);
  scene->Start(64, 48, 0);
  const std::uint32_t before = scene->Random().State();
  scene->RenderFrame();
  EXPECT_EQ(scene->Random().State(), before);
  const RasterImage& fb = scene->FrameBuffer();
  for (int y = 0; y < 48; ++y)
    for (int i = 0; i < 64 * 3; ++i) ASSERT_EQ(fb.RowAddress(y)[i], 0);
}

TEST(SnowScene, FailedFrameBufferStillAdvancesAndPresentsNothing) {
  auto scene = std::make_unique<SnowScene>();
  scene->Start(0, 48, 100);
  const std::uint32_t before = scene->Random().State();
  scene->RenderFrame();
  EXPECT_TRUE(scene->Frame().Empty());
  EXPECT_NE(scene->Random().State(), before);
}

std::vector<std::uint8_t> RenderSeed(std::uint32_t seed, int width, int height, int count, int frames) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(seed);
  scene->Start(width, height, count);
  for (int i = 0; i < frames; ++i) scene->RenderFrame();
  const RasterImage& fb = scene->FrameBuffer();
  const std::uint8_t* bits = fb.RowAddress(height - 1);
  return std::vector<std::uint8_t>(bits, bits + static_cast<std::size_t>(fb.Stride()) * height);
}

TEST(SnowScene, SameSeedSamePictureAndSnowIsVisible) {
  const auto a = RenderSeed(11, 320, 240, 3000, 40);
  const auto b = RenderSeed(11, 320, 240, 3000, 40);
  const auto c = RenderSeed(12, 320, 240, 3000, 40);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  std::size_t lit = 0;
  for (std::uint8_t v : a) lit += v != 0;
  EXPECT_GT(lit, a.size() / 50) << "a steady field shows plenty of snow";
  EXPECT_LT(lit, a.size() / 2) << "but the background stays black";
}

TEST(SnowScene, StopFreesPixelsAndResizeKeepsTheFlakes) {
  auto scene = std::make_unique<SnowScene>();
  scene->Start(100, 80, 500);
  const FlakeState first = scene->Field()[0];
  scene->Resize(50, 40);
  EXPECT_EQ(scene->FrameBuffer().Width(), 50);
  EXPECT_EQ(std::memcmp(&first, &scene->Field()[0], sizeof first), 0);
  scene->Stop();
  EXPECT_EQ(scene->FrameBuffer().RowAddress(0), nullptr);
  for (int i = 0; i < kSpriteCount; ++i) EXPECT_EQ(scene->Sprite(i).Width(), 0);
}

TEST(Projection, RefusesTinyAndNanDepths) {
  double sx = 7, sy = 7;
  EXPECT_EQ(Project(1, 1, 1e-9, 500, &sx, &sy), 0);
  EXPECT_EQ(Project(1, 1, -1e-9, 500, &sx, &sy), 0);
  EXPECT_EQ(Project(1, 1, std::nan(""), 500, &sx, &sy), 0);
  EXPECT_EQ(sx, 7);
  EXPECT_EQ(Project(2, -4, 250, 500, &sx, &sy), 1);
  EXPECT_EQ(sx, 4);
  EXPECT_EQ(sy, -8);
}

}  // namespace
}  // namespace kivo
