#include "raster/raster_image.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/unit/pixels.h"

namespace kivo {
namespace {

using pixels::At;
using pixels::CountLit;
using pixels::Rgb;

TEST(RasterImage, RowLengthAndPaletteFollowTheDepth) {
  struct Case {
    int width, depth, stride, paletteEntries;
  };
  // Depth 3 packs each channel plane on its own: 3 * ceil(w / 32) words.
  for (const Case& c : {Case{33, 1, 8, 256}, Case{10, 3, 12, 256}, Case{9, 4, 8, 256}, Case{5, 8, 8, 256},
                        Case{5, 16, 12, 0}, Case{1, 24, 4, 0}, Case{65, 24, 196, 0}, Case{3, 48, 20, 0}}) {
    RasterImage image;
    ASSERT_EQ(image.Create(c.width, 2, c.depth), 1) << c.depth;
    EXPECT_EQ(image.Stride(), c.stride) << c.width << " pixels of depth " << c.depth;
    EXPECT_EQ(image.PaletteEntryCount(), c.paletteEntries) << c.depth;
  }
  const std::set<int> supported = {1, 3, 4, 8, 16, 24, 48};
  for (int depth = -24; depth <= 64; ++depth) {
    EXPECT_EQ(IsSupportedDepth(depth), static_cast<int>(supported.count(depth))) << depth;
  }
}

// A black bottom-up block of blue-green-red pixels; every access outside it,
// or to an image that could not be made, is refused.
TEST(RasterImage, ABlackBottomUpBlockGuardedAtItsEdges) {
  RasterImage image;
  int r = 7, g = 7, b = 7;
  EXPECT_EQ(image.GetPixel(0, 0, &r, &g, &b) + image.SetPixel(0, 0, 1, 1, 1) + image.AddPixel(0, 0, 1, 1, 1), 0);
  EXPECT_EQ((Rgb{r, g, b}), (Rgb{7, 7, 7})) << "an empty image leaves the outputs untouched";
  ASSERT_EQ(image.Create(65, 6, 24), 1);
  EXPECT_EQ(image.RowAddress(0), image.RowAddress(5) + 5 * 196) << "the top row comes last";
  EXPECT_TRUE(image.RowAddress(6) == nullptr && image.RowAddress(-1) == nullptr);
  ASSERT_EQ(image.SetPixel(64, 0, 1, 2, 3), 1);
  EXPECT_EQ((Rgb{image.RowAddress(0)[192], image.RowAddress(0)[193], image.RowAddress(0)[194]}), (Rgb{3, 2, 1}));
  for (const auto& [x, y] : {std::pair{65, 0}, {-1, 0}, {0, 6}, {0, -1}, {64, 6}, {65, 5}}) {
    r = g = b = 7;
    EXPECT_EQ(image.GetPixel(x, y, &r, &g, &b) + image.SetPixel(x, y, 1, 1, 1) + image.AddPixel(x, y, 1, 1, 1), 0);
    EXPECT_EQ((Rgb{r, g, b}), (Rgb{0, 0, 0})) << "a read out of range zeroes the outputs, " << x << "," << y;
  }
  EXPECT_EQ(CountLit(image), 1);
  EXPECT_EQ(image.Create(65, 6, 2), 0);
  EXPECT_EQ(At(image, 64, 0), (Rgb{1, 2, 3})) << "a refused depth keeps the picture";
  ASSERT_EQ(image.Create(65, 6, 24), 1);
  EXPECT_EQ(CountLit(image), 0) << "made again, it starts black";
  for (const auto& [w, h] : {std::pair{0, 10}, {10, 0}, {10, -1}, {-5, 10}, {2147483647, 2}}) {
    ASSERT_EQ(image.Create(10, 10, 24), 1);
    EXPECT_EQ(image.Create(w, h, 24), 0) << w << "x" << h;
    EXPECT_EQ(image.Width() + image.Height() + image.Stride() + image.Depth(), 0) << "refused sizes empty the image";
  }
  EXPECT_EQ(image.Create(2147483647, 2147483647, 48), 0);
  ASSERT_EQ(image.Create(8, 6, 8), 1);
  EXPECT_EQ(image.SetPixel(0, 0, 1, 1, 1), 0) << "pixel operations work on 24-bit images only";
}

TEST(RasterImage, SpansAndRectanglesClipInEitherOrderAndSparePadding) {
  RasterImage image;
  ASSERT_EQ(image.Create(10, 3, 24), 1);  // 30 pixel bytes, stride 32
  image.FillSpan(5, -3, 0, 9, 5, 5);      // blue equals green, red does not
  for (int x = 0; x < 10; ++x) EXPECT_EQ(At(image, x, 0), (x <= 5 ? Rgb{9, 5, 5} : Rgb{0, 0, 0})) << x;
  for (const auto& [x1, x2, y] : {std::array{10, 14, 1}, {-4, -1, 1}, {0, 9, 3}, {0, 9, -1}}) {
    image.FillSpan(x1, x2, y, 9, 9, 9);
    image.AddSpan(x1, x2, y, 9, 9, 9);
  }
  EXPECT_EQ(CountLit(image), 6);
  image.FillRectangle(7, 2, 3, 1, 1, 2, 3);
  image.FillRectangle(0, -1, 9, -1, 4, 4, 4);
  image.FillRectangle(0, 3, 9, 3, 4, 4, 4);
  for (int y = 1; y < 3; ++y)
    for (int x = 3; x <= 7; ++x) EXPECT_EQ(At(image, x, y), (Rgb{1, 2, 3})) << x << "," << y;
  EXPECT_EQ(CountLit(image), 6 + 10);
  image.FillRectangle(-100, -100, 100, 100, 255, 255, 255);
  for (int y = 0; y < 3; ++y)
    for (int i = 30; i < 32; ++i) EXPECT_EQ(image.RowAddress(y)[i], 0) << "padding of row " << y;
}

TEST(RasterImage, DefaultPaletteIsTheColourCubeAndTwentyFixedEntries) {
  // index, red, green, blue: the twenty fixed entries, then three of the colour cube between them
  constexpr int kEntries[23][4] = {
      {0, 0, 0, 0},         {1, 128, 0, 0},       {2, 0, 128, 0},       {3, 128, 128, 0},     {4, 0, 0, 128},
      {5, 128, 0, 128},     {6, 0, 128, 128},     {7, 192, 192, 192},   {8, 192, 220, 192},   {9, 166, 202, 240},
      {246, 255, 251, 240}, {247, 160, 160, 164}, {248, 128, 128, 128}, {249, 255, 0, 0},     {250, 0, 255, 0},
      {251, 255, 255, 0},   {252, 0, 0, 255},     {253, 255, 0, 255},   {254, 0, 255, 255},   {255, 255, 255, 255},
      {10, 64, 32, 0},      {100, 128, 128, 64},  {245, 160, 192, 192}};
  RasterImage image;
  EXPECT_EQ(image.PaletteEntryCount(), 256);
  auto entry = [&image](int i) { return Rgb{image.Palette(i).red, image.Palette(i).green, image.Palette(i).blue}; };
  for (const auto& f : kEntries) EXPECT_EQ(entry(f[0]), (Rgb{f[1], f[2], f[3]})) << f[0];
  EXPECT_EQ(image.SetPaletteEntry(256, 1, 1, 1) + image.SetPaletteEntry(-1, 1, 1, 1), 0);
  EXPECT_EQ(image.SetPaletteEntry(255, 0x1FF, 2, 3), 1);
  EXPECT_EQ(entry(255), (Rgb{255, 2, 3})) << "the low 8 bits of each channel";
  EXPECT_EQ(image.Palette(255).reserved, 0);
}

}  // namespace
}  // namespace kivo
