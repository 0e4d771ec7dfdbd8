// RasterImage: KIVO's software image.
//
// A 24-bit image is stored exactly as a bottom-up device-independent bitmap:
// pixels are blue, green, red; rows are padded to 4 bytes; image row 0 (the
// top) is the last row in memory. A finished frame can therefore be handed to
// a platform copy call without any conversion.
//
// Operations that can be refused return 1 (done) or 0 (refused). Drawing
// operations return nothing and clip silently. Colour arguments always come
// as red, green, blue.
#pragma once

#include <cstdint>

namespace kivo {

// 1 for the depths an image can be created with (1, 3, 4, 8, 16, 24, 48).
int IsSupportedDepth(int depth);

// Owns the pixel bytes and knows the row geometry in bits.
class PixelStore {
 public:
  PixelStore() = default;
  ~PixelStore();
  PixelStore(const PixelStore&) = delete;
  PixelStore& operator=(const PixelStore&) = delete;

  // Zero-filled block of ((widthInBits + 7) / 8) * rows bytes. Refuses sizes
  // below 1, and sizes whose byte count would not fit a 32-bit offset.
  int Allocate(int widthInBits, int rows);
  void Release();
  std::uint8_t* Data() const { return data_; }
  int BytesPerRow() const { return bytesPerRow_; }

 private:
  int widthInBits_ = 0;
  int rows_ = 0;
  int bytesPerRow_ = 0;
  std::uint8_t* data_ = nullptr;
};

struct PaletteEntry {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  std::uint8_t reserved;
};

class RasterImage : private PixelStore {
 public:
  static constexpr int kPaletteSize = 256;

  RasterImage();
  ~RasterImage();
  RasterImage(const RasterImage&) = delete;
  RasterImage& operator=(const RasterImage&) = delete;

  int Create(int width, int height, int depth);
  void Destroy();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Depth() const { return depth_; }
  int Stride() const { return stride_; }
  int PaletteEntryCount() const { return paletteEntryCount_; }
  const PaletteEntry& Palette(int index) const { return palette_[index]; }

  // First byte of image row y (0 = top), or null.
  std::uint8_t* RowAddress(int y) const;

  int GetPixel(int x, int y, int* red, int* green, int* blue) const;
  int SetPixel(int x, int y, int red, int green, int blue);
  int AddPixel(int x, int y, int red, int green, int blue);
  int SetPaletteEntry(int index, int red, int green, int blue);

  // Inclusive spans and rectangles, ends in either order, clipped.
  void FillSpan(int x1, int x2, int y, int red, int green, int blue);
  void AddSpan(int x1, int x2, int y, int red, int green, int blue);
  void FillRectangle(int x1, int y1, int x2, int y2, int red, int green, int blue);

  // Additive disc drawn as one span per row; radius <= 0 adds one pixel.
  // Radii above kMaxCircleRadius are refused.
  static constexpr int kMaxCircleRadius = 1 << 24;
  void AddFilledCircle(int cx, int cy, int radius, int red, int green, int blue);

  // Working memory of AddFilledCircle: one mark per row, undefined elsewhere.
  std::int32_t* RowScratch() const { return rowScratch_; }

 private:
  bool Drawable() const { return depth_ == 24 && Data() != nullptr; }
  // First byte of [x1, x2] (either order) on row y once clipped, with its
  // pixel count; null when nothing of it can be drawn.
  std::uint8_t* ClippedSpan(int x1, int x2, int y, int* pixels) const;

  int depth_ = 0;
  int stride_ = 0;
  int width_ = 0;
  int height_ = 0;
  int paletteEntryCount_ = kPaletteSize;
  PaletteEntry palette_[kPaletteSize] = {};
  std::int32_t* rowScratch_ = nullptr;
};

// Saturating add of one channel: min(stored + added, 255).
// Written so that no argument can overflow the int sum.
inline std::uint8_t SaturatingAdd(std::uint8_t stored, int added) {
  return static_cast<std::uint8_t>(added >= 255 - stored ? 255 : stored + added);
}

}  // namespace kivo
