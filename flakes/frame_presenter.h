// What a host supplies to show a finished frame.
#pragma once

#include <cstdint>

namespace kivo {

// Field for field the platform's 40-byte bitmap info header, so a host can
// copy it into its own type (or write it to a file) unchanged.
struct DibHeader {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == 40, "DibHeader must match the 40-byte bitmap info header");

// The header of a W x H, 24-bit, bottom-up frame (positive height).
DibHeader FrameHeader(int width, int height);

class FramePresenter {
 public:
  virtual ~FramePresenter() = default;
  // `bits` is the first byte of the bottom row, rows padded to 4 bytes,
  // pixels blue, green, red; null when the frame buffer holds no pixels,
  // in which case the host shows nothing new.
  virtual void Present(const DibHeader& header, const std::uint8_t* bits) = 0;
};

}  // namespace kivo
