#include "host/shared/frame_conversion.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/unit/frame_checks.h"
#include "tests/unit/pixels.h"

namespace kivo {
namespace {

// A layout and where, in each output pixel, its blue, green and red bytes go.
struct Layout {
  const char* name;
  PixelFormat format;
  int blue, green, red;
};

// Printed by its name, so that the registered test names stay the same from build to build.
void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

const Layout kLayouts[] = {
    {"BGRX", {4, 0xFF0000, 0x00FF00, 0x0000FF, false}, 0, 1, 2},
    {"RGBX", {4, 0x0000FF, 0x00FF00, 0xFF0000, false}, 2, 1, 0},
    {"BRGX", {4, 0x00FF00, 0xFF0000, 0x0000FF, false}, 0, 2, 1},
    {"XRGB", {4, 0xFF0000, 0x00FF00, 0x0000FF, true}, 3, 2, 1},
    {"XBRG", {4, 0x00FF00, 0x0000FF, 0xFF0000, true}, 1, 3, 2},
    {"BGR", {3, 0xFF0000, 0x00FF00, 0x0000FF, false}, 0, 1, 2},
    {"RGB", {3, 0xFF0000, 0x00FF00, 0x0000FF, true}, 2, 1, 0},
};

TEST(PixelFormat, OnlyEightBitChannelsInThreeOrFourBytes) {
  for (const Layout& l : kLayouts) EXPECT_TRUE(IsSupportedPixelFormat(l.format)) << l.name;
  for (const PixelFormat& f : {PixelFormat{2, 0xF800, 0x07E0, 0x001F, false}, PixelFormat{4, 0xF800, 0xFF00, 0xFF, false},
                               PixelFormat{4, 0xFF00000, 0xFF00, 0xFF, false}, PixelFormat{4, 0xFF00, 0xFF00, 0xFF, false},
                               PixelFormat{3, 0xFF000000u, 0xFF00, 0xFF, false}, PixelFormat{5, 0xFF0000, 0xFF00, 0xFF, false},
                               PixelFormat{4, 0, 0xFF00, 0xFF, false}}) {
    EXPECT_FALSE(IsSupportedPixelFormat(f)) << f.bytesPerPixel << " " << std::hex << f.redMask << " " << f.greenMask;
  }
}

class Conversion : public ::testing::TestWithParam<Layout> {
 protected:
  // Follows a scene and its twin drawing 32-bit rows, which has the same
  // damage. An image kept up to date through damage alone must hold, after
  // every tick, exactly what a full conversion gives, from either layout; the
  // rows reported dirty must cover every pixel that changed, and be those a
  // host showing the frame's own memory sends. Returns the frames that took
  // the partial path.
  int Follow(SnowScene& scene, SnowScene& twin, int ticks) {
    const Layout& l = GetParam();
    const PixelConverter converter(l.format);
    const int bpp = l.format.bytesPerPixel;
    const int stride = scene.Width() * bpp + 8;  // padded rows, as X images may have
    std::vector<std::uint8_t> kept(static_cast<std::size_t>(stride) * scene.Height(), 0x5A), twinKept = kept;
    int partial = 0;
    for (int t = 0; t < ticks; ++t) {
      const std::vector<std::uint8_t> before = kept;
      scene.RenderFrame();
      twin.RenderFrame();
      const FrameView frame = scene.Frame();
      DirtyRows rows, twinRows, own;
      const bool damaged = ConvertDamage(frame, converter, kept.data(), stride, &rows);
      const bool twinDamaged = ConvertDamage(twin.Frame(), converter, twinKept.data(), stride, &twinRows);
      partial += damaged && twinDamaged ? 1 : 0;
      EXPECT_TRUE(frames::SameDamage(frame.damage, twin.Frame().damage)) << "tick " << t;
      if (!damaged) ConvertFrame(frame, l.format, kept.data(), stride);
      if (!twinDamaged) ConvertFrame(twin.Frame(), l.format, twinKept.data(), stride);
      if (twinDamaged) {
        EXPECT_TRUE(DamagedRows(twin.Frame(), &own) && own.first == twinRows.first && own.last == twinRows.last);
      }
      std::vector<std::uint8_t> full = kept;  // padding as it is, pixels written afresh
      ConvertFrame(frame.bottomRow, frame.width, frame.height, frame.stride, l.format, full.data(), stride);
      if (kept != full || twinKept != full) {
        ADD_FAILURE() << frame.width << "x" << frame.height << " differs after tick " << t;
        return partial;
      }
      for (int y = 0; damaged && y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
          const std::size_t at = static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x * bpp);
          if (std::memcmp(&before[at], &kept[at], static_cast<std::size_t>(bpp)) == 0) continue;
          const auto row = static_cast<std::size_t>(y);
          if (rows.first[row] > x || rows.last[row] < x) {
            ADD_FAILURE() << "changed pixel " << x << "," << y << " outside its dirty row, tick " << t;
            return partial;
          }
        }
    }
    return partial;
  }
};

TEST_P(Conversion, EveryPixelLandsWhereItsMasksSayTopRowFirst) {
  const Layout& l = GetParam();
  // A 5 x 2 bottom-up frame (stride 16) with distinct bytes everywhere and
  // padding that must not leak.
  std::vector<std::uint8_t> bits(32, 0xEE);
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 15; ++i) bits[static_cast<std::size_t>(row * 16 + i)] = static_cast<std::uint8_t>(10 * row + i);
  const int bpp = l.format.bytesPerPixel;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(2 * 5 * bpp), 0xAA);
  ConvertFrame(bits.data(), 5, 2, 16, l.format, out.data(), 5 * bpp);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) {
      const std::uint8_t* px = &out[static_cast<std::size_t>((y * 5 + x) * bpp)];
      const int source = 10 * (1 - y) + 3 * x;  // output row 0 is the top row, the second in memory
      EXPECT_EQ((std::array<int, 3>{px[l.blue], px[l.green], px[l.red]}), (std::array{source, source + 1, source + 2}))
          << x << "," << y;
      EXPECT_EQ(bpp == 4 ? px[6 - l.blue - l.green - l.red] : 0, 0) << "unused byte of " << x << "," << y;
    }
}

TEST_P(Conversion, DamageKeepsAnImageEqualToAFullConversionAndItsDirtyRowsCoverEveryChange) {
  const FrameTarget xrgb{FrameLayout::kTopDownXrgb32};
  for (const auto& [w, h] : {std::pair{333, 201}, {1, 1}, {64, 48}, {641, 479}}) {
    const auto seed = static_cast<std::uint32_t>(w * 7 + h);
    EXPECT_EQ(Follow(*pixels::Scene(seed, w, h, 30000), *pixels::Scene(seed, w, h, 30000, xrgb), 60), 59)
        << "every frame but the first converts only its damage";
  }
  auto scene = pixels::Scene(9, 320, 240, 10000);
  auto twin = pixels::Scene(9, 320, 240, 10000, xrgb);
  Follow(*scene, *twin, 20);
  scene->Resize(517, 93);  // a new frame buffer: its first frame is converted whole
  twin->Resize(517, 93);
  EXPECT_EQ(Follow(*scene, *twin, 30), 29);
}

// A window system hands buffers back in its own time: a buffer reused after
// N frames must get every change of those N frames. Three buffers, used in
// an order that holds one back now and then for up to twelve frames (beyond
// what the history keeps), must each show exactly the frame of its tick,
// also across a frame whose damage is the whole frame (a new frame buffer).
TEST(DamageHistory, EveryReusedBufferGetsTheUnionOfTheDamageItMissed) {
  auto scene = pixels::Scene(21, 211, 97, 20000);
  const PixelFormat format;
  const int stride = 211 * 4;
  struct Buffer {
    std::vector<std::uint8_t> pixels;
    std::uint64_t held = 0;
  };
  std::vector<Buffer> buffers(3, Buffer{std::vector<std::uint8_t>(static_cast<std::size_t>(stride) * 97, 0x77), 0});
  DamageHistory history;
  const int order[] = {0, 1, 0, 1, 2, 0, 2, 1, 1, 1, 0, 2, 0, 0, 1, 2, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 1};
  int partial = 0;
  for (int tick = 0; tick < 64; ++tick) {
    if (tick == 40) scene->Resize(211, 97);
    scene->RenderFrame();
    const FrameView frame = scene->Frame();
    history.Record(frame);
    Buffer& b = buffers[static_cast<std::size_t>(order[tick % 32])];
    DirtyRows rows;
    partial += history.BringUpToDate(frame, b.held, format, b.pixels.data(), stride, &rows) ? 1 : 0;
    b.held = history.Latest();
    std::vector<std::uint8_t> full(b.pixels.size(), 0x77);
    ConvertFrame(frame.bottomRow, frame.width, frame.height, frame.stride, format, full.data(), stride);
    ASSERT_EQ(b.pixels, full) << "buffer " << order[tick % 32] << " at tick " << tick;
  }
  EXPECT_GT(partial, 40) << "most frames bring a buffer up to date through damage alone";
  EXPECT_LT(partial, 61) << "a buffer that missed more than the history holds is converted whole";
}

TEST(ChangedBands, ConsecutiveChangedRowsBecomeOneRectangleAsWideAsTheirWidestChange) {
  DirtyRows rows;
  rows.Reset(10);
  for (const auto& [row, x, pixels] : {std::array{1, 5, 3}, {2, 2, 2}, {2, 9, 1}, {3, 4, 1}, {6, 0, 1}, {9, 7, 3}}) {
    rows.Add(row, x, pixels);
  }
  EXPECT_EQ(ChangedBands(rows), (std::vector<ScreenRect>{{2, 1, 8, 3}, {0, 6, 1, 1}, {7, 9, 3, 1}}));
  rows.Reset(4);
  EXPECT_TRUE(ChangedBands(rows).empty());
}

INSTANTIATE_TEST_SUITE_P(Layouts, Conversion, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<Layout>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kivo
