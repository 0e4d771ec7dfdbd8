#include "raster/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "raster/clip_range.h"

namespace kivo {
namespace {

struct FixedPaletteEntry {
  int index, red, green, blue;
};

// The twenty entries outside the colour cube of the default palette.
constexpr FixedPaletteEntry kFixedEntries[] = {
    {0, 0, 0, 0},         {1, 128, 0, 0},       {2, 0, 128, 0},       {3, 128, 128, 0},
    {4, 0, 0, 128},       {5, 128, 0, 128},     {6, 0, 128, 128},     {7, 192, 192, 192},
    {8, 192, 220, 192},   {9, 166, 202, 240},   {246, 255, 251, 240}, {247, 160, 160, 164},
    {248, 128, 128, 128}, {249, 255, 0, 0},     {250, 0, 255, 0},     {251, 255, 255, 0},
    {252, 0, 0, 255},     {253, 255, 0, 255},   {254, 0, 255, 255},   {255, 255, 255, 255},
};

// Row length in 32-bit words. Depth 3 packs each channel plane separately,
// hence 3 * ceil(width / 32) rather than ceil(3 * width / 32).
std::int64_t RowWords(int width, int depth) {
  const std::int64_t w = width;
  if (depth == 3) return 3 * ((w + 31) / 32);
  return (w * depth + 31) / 32;
}

}  // namespace

int IsSupportedDepth(int depth) {
  switch (depth) {
    case 1:
    case 3:
    case 4:
    case 8:
    case 16:
    case 24:
    case 48:
      return 1;
    default:
      return 0;
  }
}

PixelStore::~PixelStore() { Release(); }

int PixelStore::Allocate(int widthInBits, int rows) {
  if (widthInBits < 1 || rows < 1) return 0;
  Release();
  const std::int64_t bytesPerRow = (static_cast<std::int64_t>(widthInBits) + 7) / 8;
  // Row offsets are computed as ptrdiff_t; refuse blocks they could not reach.
  if (bytesPerRow > std::numeric_limits<std::ptrdiff_t>::max() / rows) return 0;
  const std::size_t total = static_cast<std::size_t>(bytesPerRow) * static_cast<std::size_t>(rows);
  auto* block = static_cast<std::uint8_t*>(std::calloc(total, 1));
  if (block == nullptr) return 0;
  widthInBits_ = widthInBits;
  rows_ = rows;
  bytesPerRow_ = static_cast<int>(bytesPerRow);
  data_ = block;
  return 1;
}

void PixelStore::Release() {
  std::free(data_);
  data_ = nullptr;
  widthInBits_ = 0;
  rows_ = 0;
  bytesPerRow_ = 0;
}

RasterImage::RasterImage() {
  for (int i = 0; i < kPaletteSize; ++i) {
    SetPaletteEntry(i, 32 * (i % 8), 32 * ((i / 8) % 8), 64 * (i / 64));
  }
  for (const FixedPaletteEntry& e : kFixedEntries) SetPaletteEntry(e.index, e.red, e.green, e.blue);
}

RasterImage::~RasterImage() { Destroy(); }

int RasterImage::Create(int width, int height, int depth) {
  if (!IsSupportedDepth(depth)) return 0;
  const std::int64_t words = RowWords(width, depth);
  Destroy();
  if (words < 1 || words > std::numeric_limits<int>::max() / 32) return 0;
  if (!Allocate(static_cast<int>(words * 32), height)) return 0;
  rowScratch_ = static_cast<std::int32_t*>(
      std::calloc(static_cast<std::size_t>(height), sizeof(std::int32_t)));
  if (rowScratch_ == nullptr) {
    Destroy();
    return 0;
  }
  depth_ = depth;
  stride_ = static_cast<int>(words * 4);
  width_ = width;
  height_ = height;
  if (depth >= 16) paletteEntryCount_ = 0;
  return 1;
}

void RasterImage::Destroy() {
  Release();
  std::free(rowScratch_);
  rowScratch_ = nullptr;
  depth_ = 0;
  stride_ = 0;
  width_ = 0;
  height_ = 0;
}

std::uint8_t* RasterImage::RowAddress(int y) const {
  if (y < 0 || y >= height_ || Data() == nullptr) return nullptr;
  return Data() + static_cast<std::ptrdiff_t>(height_ - 1 - y) * stride_;
}

int RasterImage::GetPixel(int x, int y, int* red, int* green, int* blue) const {
  if (!Drawable()) return 0;
  *red = *green = *blue = 0;
  if (y < 0 || y > height_ - 1 || x < 0 || x > width_ - 1) return 0;
  const std::uint8_t* p = RowAddress(y) + 3 * static_cast<std::ptrdiff_t>(x);
  *blue = p[0];
  *green = p[1];
  *red = p[2];
  return 1;
}

int RasterImage::SetPixel(int x, int y, int red, int green, int blue) {
  if (!Drawable()) return 0;
  if (y < 0 || y > height_ - 1 || x < 0 || x > width_ - 1) return 0;
  std::uint8_t* p = RowAddress(y) + 3 * static_cast<std::ptrdiff_t>(x);
  p[0] = static_cast<std::uint8_t>(blue);
  p[1] = static_cast<std::uint8_t>(green);
  p[2] = static_cast<std::uint8_t>(red);
  return 1;
}

int RasterImage::AddPixel(int x, int y, int red, int green, int blue) {
  if (!Drawable()) return 0;
  if (y < 0 || y > height_ - 1 || x < 0 || x > width_ - 1) return 0;
  std::uint8_t* p = RowAddress(y) + 3 * static_cast<std::ptrdiff_t>(x);
  p[0] = SaturatingAdd(p[0], blue);
  p[1] = SaturatingAdd(p[1], green);
  p[2] = SaturatingAdd(p[2], red);
  return 1;
}

int RasterImage::SetPaletteEntry(int index, int red, int green, int blue) {
  if (index < 0 || index > kPaletteSize - 1) return 0;
  palette_[index] = PaletteEntry{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                                 static_cast<std::uint8_t>(red), 0};
  return 1;
}

std::uint8_t* RasterImage::ClippedSpan(int x1, int x2, int y, int* pixels) const {
  if (!Drawable() || y < 0 || y >= height_) return nullptr;
  int lo = x1 < x2 ? x1 : x2;
  int hi = x1 < x2 ? x2 : x1;
  if (!ClipRange(&lo, &hi, width_)) return nullptr;
  *pixels = hi - lo + 1;
  return RowAddress(y) + 3 * static_cast<std::ptrdiff_t>(lo);
}

void RasterImage::FillSpan(int x1, int x2, int y, int red, int green, int blue) {
  int pixels = 0;
  std::uint8_t* p = ClippedSpan(x1, x2, y, &pixels);
  if (p == nullptr) return;
  const auto b = static_cast<std::uint8_t>(blue);
  const auto g = static_cast<std::uint8_t>(green);
  const auto r = static_cast<std::uint8_t>(red);
  const std::size_t bytes = 3 * static_cast<std::size_t>(pixels);
  // A grey (above all black, the per-frame clear) is one run of equal bytes.
  if (b == g && g == r) {
    std::memset(p, b, bytes);
    return;
  }
  for (std::size_t i = 0; i < bytes; i += 3) {
    p[i] = b;
    p[i + 1] = g;
    p[i + 2] = r;
  }
}

void RasterImage::AddSpan(int x1, int x2, int y, int red, int green, int blue) {
  int pixels = 0;
  std::uint8_t* p = ClippedSpan(x1, x2, y, &pixels);
  if (p == nullptr) return;
  for (int i = 0; i < pixels; ++i, p += 3) {
    p[0] = SaturatingAdd(p[0], blue);
    p[1] = SaturatingAdd(p[1], green);
    p[2] = SaturatingAdd(p[2], red);
  }
}

void RasterImage::FillRectangle(int x1, int y1, int x2, int y2, int red, int green, int blue) {
  int top = y1 < y2 ? y1 : y2;
  int bottom = y1 < y2 ? y2 : y1;
  if (!ClipRange(&top, &bottom, Height())) return;
  for (int row = top; row <= bottom; ++row) FillSpan(x1, x2, row, red, green, blue);
}

}  // namespace kivo
