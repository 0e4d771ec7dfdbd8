#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "flakes/snow_scene.h"
#include "host/x11/pixel_format.h"
#include "host/x11/x11_options.h"

namespace kivo {
namespace {

TEST(X11Options, DefaultsAndEveryOption) {
  X11ParseResult r = ParseX11Options({}, nullptr);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.target, X11Target::kOwnWindow);
  EXPECT_EQ(r.options.width, 800);
  EXPECT_EQ(r.options.height, 600);
  EXPECT_EQ(r.options.count, 10000);
  EXPECT_EQ(r.options.frames, -1);
  r = ParseX11Options({"-geometry", "1920x1080", "--count", "2500", "--seed", "9", "-fps", "--frames", "0"}, nullptr);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.width, 1920);
  EXPECT_EQ(r.options.height, 1080);
  EXPECT_EQ(r.options.count, 2500);
  EXPECT_FALSE(r.options.countClamped);
  EXPECT_TRUE(r.options.seedGiven);
  EXPECT_TRUE(r.options.fps);
  EXPECT_EQ(r.options.frames, 0);
  EXPECT_EQ(ParseX11Options({"-fullscreen"}, nullptr).options.target, X11Target::kFullScreen);
  EXPECT_EQ(ParseX11Options({"--root"}, nullptr).options.target, X11Target::kRoot);
  r = ParseX11Options({"-window-id", "0x2a00005"}, nullptr);
  EXPECT_EQ(r.options.target, X11Target::kWindowId);
  EXPECT_EQ(r.options.windowId, 0x2a00005u);
}

TEST(X11Options, CountIsClampedToTheSliderRange) {
  X11ParseResult r = ParseX11Options({"--count", "99999"}, nullptr);
  EXPECT_EQ(r.options.count, 30000);
  EXPECT_TRUE(r.options.countClamped);
  r = ParseX11Options({"--count", "-5"}, nullptr);
  EXPECT_EQ(r.options.count, 2000);
  EXPECT_TRUE(r.options.countClamped);
}

TEST(X11Options, EnvironmentWindowWinsAndBadInputIsRefused) {
  X11ParseResult r = ParseX11Options({"-window", "-root"}, "12345");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.target, X11Target::kWindowId);
  EXPECT_EQ(r.options.windowId, 12345u);
  EXPECT_TRUE(ParseX11Options({"-root"}, "").ok) << "an empty variable is no window";
  for (const std::vector<std::string>& bad :
       std::vector<std::vector<std::string>>{{"-bogus"}, {"-geometry", "800"}, {"-geometry", "0x600"},
                                             {"-geometry", "800x99999"}, {"-window-id", "0"}, {"-window-id", "12ab"},
                                             {"-window-id", "0x1FFFFFFFF"}, {"--count"}, {"--seed", "-1"},
                                             {"--frames", "x"}}) {
    const X11ParseResult refused = ParseX11Options(bad, nullptr);
    EXPECT_FALSE(refused.ok) << bad[0];
    EXPECT_FALSE(refused.error.empty());
  }
  EXPECT_FALSE(ParseX11Options({}, "window").ok);
}

// A 5 x 2 bottom-up frame (stride 16) with distinct bytes everywhere.
std::vector<std::uint8_t> SampleFrame() {
  std::vector<std::uint8_t> bits(32, 0xEE);  // padding bytes must not leak
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 15; ++i) bits[static_cast<std::size_t>(row * 16 + i)] = static_cast<std::uint8_t>(10 * row + i);
  return bits;
}

TEST(PixelFormat, CommonLayoutPutsTheTopRowFirst) {
  const std::vector<std::uint8_t> bits = SampleFrame();
  std::vector<std::uint8_t> out(2 * 20, 0xAA);
  ConvertFrame(bits.data(), 5, 2, 16, PixelFormat{}, out.data(), 20);
  // Output row 0 is the top row, which is the second row in memory.
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(out[static_cast<std::size_t>(4 * x)], 10 + 3 * x) << x;      // blue
    EXPECT_EQ(out[static_cast<std::size_t>(4 * x + 1)], 11 + 3 * x) << x;  // green
    EXPECT_EQ(out[static_cast<std::size_t>(4 * x + 2)], 12 + 3 * x) << x;  // red
    EXPECT_EQ(out[static_cast<std::size_t>(4 * x + 3)], 0) << x;
    EXPECT_EQ(out[static_cast<std::size_t>(20 + 4 * x)], 3 * x) << x;
  }
}

TEST(PixelFormat, OtherLayoutsFollowTheMasksAndByteOrder) {
  const std::vector<std::uint8_t> bits = SampleFrame();
  PixelFormat bgrx;  // red in the low byte
  bgrx.redMask = 0x0000FF;
  bgrx.blueMask = 0xFF0000;
  std::vector<std::uint8_t> out(40, 0xAA);
  ConvertFrame(bits.data(), 5, 2, 16, bgrx, out.data(), 20);
  EXPECT_EQ(out[0], 12);
  EXPECT_EQ(out[2], 10);

  PixelFormat bigEndian;
  bigEndian.mostSignificantFirst = true;
  ConvertFrame(bits.data(), 5, 2, 16, bigEndian, out.data(), 20);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 12);
  EXPECT_EQ(out[3], 10);

  PixelFormat packed;
  packed.bytesPerPixel = 3;
  ConvertFrame(bits.data(), 5, 2, 16, packed, out.data(), 16);
  for (int i = 0; i < 15; ++i) EXPECT_EQ(out[static_cast<std::size_t>(i)], 10 + i) << i;
}

TEST(PixelFormat, OnlyEightBitChannelsInThreeOrFourBytes) {
  EXPECT_TRUE(IsSupportedPixelFormat(PixelFormat{}));
  PixelFormat f;
  f.bytesPerPixel = 2;
  EXPECT_FALSE(IsSupportedPixelFormat(f));
  f = PixelFormat{};
  f.redMask = 0xF800;  // 5-6-5
  EXPECT_FALSE(IsSupportedPixelFormat(f));
  f = PixelFormat{};
  f.greenMask = f.redMask;
  EXPECT_FALSE(IsSupportedPixelFormat(f));
  f = PixelFormat{};
  f.bytesPerPixel = 3;
  f.redMask = 0xFF000000u;
  EXPECT_FALSE(IsSupportedPixelFormat(f));
}

// An X image kept up to date by converting only each frame's damage must
// hold, tick after tick, exactly what a full conversion gives.
class DamageConversion : public ::testing::TestWithParam<PixelFormat> {
 protected:
  struct Image {
    int stride = 0;
    std::vector<std::uint8_t> pixels;
  };
  static Image Blank(int width, int height, int bytesPerPixel) {
    Image image;
    image.stride = width * bytesPerPixel + 8;  // padded rows, as X images may have
    image.pixels.assign(static_cast<std::size_t>(image.stride) * height, 0x5A);
    return image;
  }
  // Runs `ticks` frames, converting damage where it can; returns how many
  // frames took the partial path.
  int Follow(SnowScene& scene, Image& image, int ticks) {
    const PixelConverter converter(GetParam());
    int partial = 0;
    for (int t = 0; t < ticks; ++t) {
      scene.RenderFrame();
      const FrameView frame = scene.Frame();
      DirtyRows rows;
      if (ConvertDamage(frame, converter, image.pixels.data(), image.stride, &rows)) {
        ++partial;
      } else {
        ConvertFrame(frame.bottomRow, frame.width, frame.height, frame.stride, GetParam(), image.pixels.data(),
                     image.stride);
      }
      Image full = image;  // padding bytes as they are; pixels written afresh
      ConvertFrame(frame.bottomRow, frame.width, frame.height, frame.stride, GetParam(), full.pixels.data(),
                   full.stride);
      EXPECT_EQ(image.pixels, full.pixels) << frame.width << "x" << frame.height << ", tick " << t;
      if (image.pixels != full.pixels) return partial;
    }
    return partial;
  }
};

TEST_P(DamageConversion, FollowsEveryTickAtOddSizesAndAcrossResizes) {
  const int bpp = GetParam().bytesPerPixel;
  for (const auto& size : std::vector<std::pair<int, int>>{{333, 201}, {1, 1}, {64, 48}, {641, 479}}) {
    auto scene = std::make_unique<SnowScene>();
    scene->Random().SeedRandom(static_cast<std::uint32_t>(size.first * 7 + size.second));
    scene->Start(size.first, size.second, 30000);
    Image image = Blank(size.first, size.second, bpp);
    const int partial = Follow(*scene, image, 60);
    EXPECT_EQ(partial, 59) << "every frame but the first converts only its damage";
  }
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(9);
  scene->Start(320, 240, 10000);
  Image image = Blank(320, 240, bpp);
  Follow(*scene, image, 20);
  scene->Resize(517, 93);  // a new frame buffer: its first frame is converted whole
  image = Blank(517, 93, bpp);
  EXPECT_EQ(Follow(*scene, image, 30), 29);
}

TEST_P(DamageConversion, DirtyRowsCoverEveryChangedPixel) {
  auto scene = std::make_unique<SnowScene>();
  scene->Random().SeedRandom(4);
  scene->Start(200, 150, 20000);
  scene->RenderFrame();
  std::vector<std::uint8_t> before(scene->Frame().bottomRow,
                                   scene->Frame().bottomRow + static_cast<std::size_t>(scene->Frame().stride) * 150);
  scene->RenderFrame();
  const FrameView frame = scene->Frame();
  Image image = Blank(200, 150, GetParam().bytesPerPixel);
  DirtyRows rows;
  ASSERT_TRUE(ConvertDamage(frame, PixelConverter(GetParam()), image.pixels.data(), image.stride, &rows));
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      const std::size_t at = static_cast<std::size_t>(149 - y) * frame.stride + 3 * x;
      const bool changed = std::memcmp(&before[at], frame.bottomRow + at, 3) != 0;
      if (changed) {
        EXPECT_LE(rows.first[static_cast<std::size_t>(y)], x) << x << "," << y;
        EXPECT_GE(rows.last[static_cast<std::size_t>(y)], x) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, DamageConversion,
                         ::testing::Values(PixelFormat{}, PixelFormat{3, 0xFF0000, 0x00FF00, 0x0000FF, false},
                                           PixelFormat{4, 0x00FF00, 0xFF0000, 0x0000FF, true}));

}  // namespace
}  // namespace kivo
