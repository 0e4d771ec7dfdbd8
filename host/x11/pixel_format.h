// Turning the bottom-up 24-bit frame into an X image's pixel layout.
#pragma once

#include <cstdint>

namespace kivo {

// A TrueColor layout with 8-bit channels: 3 or 4 bytes per pixel, channels
// where the masks say, bytes in the image's byte order.
struct PixelFormat {
  int bytesPerPixel = 4;
  std::uint32_t redMask = 0xFF0000;
  std::uint32_t greenMask = 0x00FF00;
  std::uint32_t blueMask = 0x0000FF;
  bool mostSignificantFirst = false;
};

// True for the layouts ConvertFrame can write.
bool IsSupportedPixelFormat(const PixelFormat& format);

// Writes `height` rows of `width` pixels, top row first, from a bottom-up
// blue-green-red block whose rows are `stride` bytes apart.
void ConvertFrame(const std::uint8_t* bottomUpBits, int width, int height, int stride, const PixelFormat& format,
                  std::uint8_t* out, int outStride);

}  // namespace kivo
