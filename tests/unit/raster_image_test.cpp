#include "raster/raster_image.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kivo {
namespace {

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

Rgb PixelAt(const RasterImage& image, int x, int y) {
  Rgb c{-1, -1, -1};
  image.GetPixel(x, y, &c.r, &c.g, &c.b);
  return c;
}

int CountLit(const RasterImage& image) {
  int lit = 0;
  for (int y = 0; y < image.Height(); ++y)
    for (int x = 0; x < image.Width(); ++x) lit += !(PixelAt(image, x, y) == Rgb{0, 0, 0});
  return lit;
}

TEST(RasterImageLayout, SpriteSizedImageIsBottomUpWithPaddedRows) {
  RasterImage image;
  ASSERT_EQ(image.Create(65, 65, 24), 1);
  EXPECT_EQ(image.Stride(), 196);
  EXPECT_EQ(image.Width(), 65);
  EXPECT_EQ(image.Height(), 65);
  const std::uint8_t* start = image.RowAddress(64);
  ASSERT_NE(start, nullptr);
  EXPECT_EQ(image.RowAddress(0), start + 64 * 196);
  EXPECT_EQ(image.RowAddress(65), nullptr);
  EXPECT_EQ(image.RowAddress(-1), nullptr);
  for (int i = 0; i < 65 * 196; ++i) ASSERT_EQ(start[i], 0) << i;
}

TEST(RasterImageLayout, StrideFollowsDepthRules) {
  RasterImage image;
  ASSERT_EQ(image.Create(1, 1, 24), 1);
  EXPECT_EQ(image.Stride(), 4);
  ASSERT_EQ(image.Create(10, 10, 3), 1);
  EXPECT_EQ(image.Stride(), 12);
  ASSERT_EQ(image.Create(33, 1, 1), 1);
  EXPECT_EQ(image.Stride(), 8);
  ASSERT_EQ(image.Create(3, 2, 48), 1);
  EXPECT_EQ(image.Stride(), 20);
  EXPECT_EQ(image.PaletteEntryCount(), 0);
}

TEST(RasterImageLayout, TopRowIsLastInMemoryAndBytesAreBlueGreenRed) {
  RasterImage image;
  ASSERT_EQ(image.Create(4, 3, 24), 1);
  ASSERT_EQ(image.SetPixel(0, 0, 1, 2, 3), 1);
  const std::uint8_t* top = image.RowAddress(0);
  EXPECT_EQ(top, image.RowAddress(2) + 2 * image.Stride());
  EXPECT_EQ(top[0], 3);
  EXPECT_EQ(top[1], 2);
  EXPECT_EQ(top[2], 1);
}

TEST(RasterImageCreate, RefusedDepthKeepsThePicture) {
  RasterImage image;
  ASSERT_EQ(image.Create(10, 10, 24), 1);
  image.SetPixel(3, 4, 10, 20, 30);
  EXPECT_EQ(image.Create(10, 10, 2), 0);
  EXPECT_EQ(image.Width(), 10);
  EXPECT_EQ(PixelAt(image, 3, 4), (Rgb{10, 20, 30}));
  for (int depth : {0, 2, 5, 7, 12, 32, -24}) EXPECT_EQ(IsSupportedDepth(depth), 0) << depth;
  for (int depth : {1, 3, 4, 8, 16, 24, 48}) EXPECT_EQ(IsSupportedDepth(depth), 1) << depth;
}

TEST(RasterImageCreate, EmptySizeLeavesTheImageEmpty) {
  RasterImage image;
  ASSERT_EQ(image.Create(10, 10, 24), 1);
  EXPECT_EQ(image.Create(0, 10, 24), 0);
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Height(), 0);
  EXPECT_EQ(image.Stride(), 0);
  EXPECT_EQ(image.RowAddress(0), nullptr);
  EXPECT_EQ(image.Create(10, -1, 24), 0);
  EXPECT_EQ(image.Create(-5, 10, 24), 0);
}

TEST(RasterImageCreate, HugeSizesAreRefusedNotOverflowed) {
  RasterImage image;
  EXPECT_EQ(image.Create(2147483647, 2, 24), 0);
  EXPECT_EQ(image.Create(2147483647, 2147483647, 48), 0);
  EXPECT_EQ(image.RowAddress(0), nullptr);
}

TEST(RasterImageCreate, RecreationStartsBlack) {
  RasterImage image;
  ASSERT_EQ(image.Create(5, 5, 24), 1);
  image.FillRectangle(0, 0, 4, 4, 9, 9, 9);
  ASSERT_EQ(image.Create(5, 5, 24), 1);
  EXPECT_EQ(CountLit(image), 0);
}

TEST(RasterImagePixels, GuardsRefuseOutsideAndOnEmptyImages) {
  RasterImage image;
  int r = 7, g = 7, b = 7;
  EXPECT_EQ(image.GetPixel(0, 0, &r, &g, &b), 0);
  EXPECT_EQ(r, 7) << "an empty image leaves the outputs untouched";
  EXPECT_EQ(image.SetPixel(0, 0, 1, 1, 1), 0);
  EXPECT_EQ(image.AddPixel(0, 0, 1, 1, 1), 0);

  ASSERT_EQ(image.Create(8, 6, 24), 1);
  EXPECT_EQ(image.GetPixel(8, 0, &r, &g, &b), 0);
  EXPECT_EQ((Rgb{r, g, b}), (Rgb{0, 0, 0})) << "a read out of range zeroes the outputs";
  EXPECT_EQ(image.SetPixel(-1, 0, 1, 1, 1), 0);
  EXPECT_EQ(image.SetPixel(0, 6, 1, 1, 1), 0);
  EXPECT_EQ(image.AddPixel(0, -1, 1, 1, 1), 0);
  EXPECT_EQ(CountLit(image), 0);

  ASSERT_EQ(image.Create(8, 6, 8), 1);
  EXPECT_EQ(image.SetPixel(0, 0, 1, 1, 1), 0) << "pixel operations work on 24-bit images only";
}

TEST(RasterImagePixels, AddPixelSaturatesEachChannel) {
  RasterImage image;
  ASSERT_EQ(image.Create(2, 2, 24), 1);
  image.SetPixel(1, 1, 100, 100, 100);
  ASSERT_EQ(image.AddPixel(1, 1, 200, 100, 0), 1);
  EXPECT_EQ(PixelAt(image, 1, 1), (Rgb{255, 200, 100}));
  image.SetPixel(0, 0, 100, 0, 0);
  image.AddPixel(0, 0, 155, 0, 0);
  EXPECT_EQ(PixelAt(image, 0, 0).r, 255);
  image.AddPixel(0, 0, 2147483647, 2147483647, 2147483647);
  EXPECT_EQ(PixelAt(image, 0, 0), (Rgb{255, 255, 255}));
}

TEST(RasterImageSpans, ClipToTheRowInEitherOrder) {
  RasterImage image;
  ASSERT_EQ(image.Create(10, 3, 24), 1);
  image.FillSpan(5, -3, 0, 1, 2, 3);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(image, x, 0), (x <= 5 ? Rgb{1, 2, 3} : Rgb{0, 0, 0})) << x;
  image.FillSpan(10, 14, 1, 9, 9, 9);
  image.FillSpan(-4, -1, 1, 9, 9, 9);
  image.FillSpan(0, 9, 3, 9, 9, 9);
  image.FillSpan(0, 9, -1, 9, 9, 9);
  EXPECT_EQ(CountLit(image), 6);
  image.AddSpan(-10, 20, 2, 200, 0, 0);
  image.AddSpan(-10, 20, 2, 100, 0, 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(image, x, 2), (Rgb{255, 0, 0})) << x;
}

TEST(RasterImageSpans, NeverTouchRowPadding) {
  RasterImage image;
  ASSERT_EQ(image.Create(5, 2, 24), 1);  // 15 pixel bytes, stride 16
  image.FillRectangle(-100, -100, 100, 100, 255, 255, 255);
  image.AddSpan(-1, 7, 0, 5, 5, 5);
  for (int y = 0; y < 2; ++y) EXPECT_EQ(image.RowAddress(y)[15], 0) << y;
}

TEST(RasterImageSpans, RectangleCornersInEitherOrderFillTheSameArea) {
  RasterImage a;
  RasterImage b;
  ASSERT_EQ(a.Create(9, 7, 24), 1);
  ASSERT_EQ(b.Create(9, 7, 24), 1);
  a.FillRectangle(2, 1, 6, 5, 10, 20, 30);
  b.FillRectangle(6, 5, 2, 1, 10, 20, 30);
  EXPECT_EQ(CountLit(a), 25);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(PixelAt(a, x, y), PixelAt(b, x, y));
  a.FillRectangle(0, -1, 8, -1, 1, 1, 1);
  EXPECT_EQ(CountLit(a), 25);
}

TEST(RasterImageEmpty, DrawingOnANeverCreatedImageDoesNothing) {
  RasterImage image;
  image.FillRectangle(0, 0, 10, 10, 1, 2, 3);
  image.FillSpan(0, 10, 0, 1, 2, 3);
  image.AddSpan(0, 10, 0, 1, 2, 3);
  image.AddFilledCircle(0, 0, 5, 1, 2, 3);
  image.Destroy();
  image.Destroy();
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.RowAddress(0), nullptr);
}

TEST(RasterImagePalette, DefaultPaletteAndIndexGuards) {
  RasterImage image;
  EXPECT_EQ(image.PaletteEntryCount(), 256);
  const PaletteEntry& cube = image.Palette(100);  // 100 = 4 + 8*4 + 64*1
  EXPECT_EQ(cube.red, 128);
  EXPECT_EQ(cube.green, 128);
  EXPECT_EQ(cube.blue, 64);
  EXPECT_EQ(image.Palette(9).red, 166);
  EXPECT_EQ(image.Palette(9).blue, 240);
  EXPECT_EQ(image.Palette(246).green, 251);
  EXPECT_EQ(image.Palette(255).blue, 255);
  EXPECT_EQ(image.SetPaletteEntry(256, 1, 1, 1), 0);
  EXPECT_EQ(image.SetPaletteEntry(-1, 1, 1, 1), 0);
  EXPECT_EQ(image.SetPaletteEntry(3, 0x1FF, 2, 3), 1);
  EXPECT_EQ(image.Palette(3).red, 0xFF);
  ASSERT_EQ(image.Create(4, 4, 24), 1);
  image.Destroy();
  EXPECT_EQ(image.PaletteEntryCount(), 0) << "Destroy does not restore the palette count";
}

}  // namespace
}  // namespace kivo
