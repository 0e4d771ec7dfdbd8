#include "host/x11/pixel_format.h"

#include <cstring>

namespace kivo {
namespace {

int ShiftOf(std::uint32_t mask) {
  int shift = 0;
  while (shift < 32 && ((mask >> shift) & 1u) == 0) ++shift;
  return shift;
}

bool IsByteMask(std::uint32_t mask) {
  const int shift = ShiftOf(mask);
  return shift <= 24 && shift % 8 == 0 && mask == (0xFFu << shift);
}

// The usual layout (bytes blue, green, red, pad): four pixels at a time from
// three 32-bit loads on little-endian hosts, byte by byte elsewhere.
void ConvertRowToX8R8G8B8(const std::uint8_t* src, int width, std::uint8_t* dst) {
  int x = 0;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  for (; x + 4 <= width; x += 4, src += 12, dst += 16) {
    std::uint32_t w[3];
    std::memcpy(w, src, sizeof w);
    const std::uint32_t p[4] = {w[0] & 0xFFFFFFu, (w[0] >> 24) | ((w[1] & 0xFFFFu) << 8),
                                (w[1] >> 16) | ((w[2] & 0xFFu) << 16), w[2] >> 8};
    std::memcpy(dst, p, sizeof p);
  }
#endif
  for (; x < width; ++x, src += 3, dst += 4) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
    dst[3] = 0;
  }
}

}  // namespace

bool IsSupportedPixelFormat(const PixelFormat& f) {
  if (f.bytesPerPixel != 3 && f.bytesPerPixel != 4) return false;
  if (!IsByteMask(f.redMask) || !IsByteMask(f.greenMask) || !IsByteMask(f.blueMask)) return false;
  if (f.bytesPerPixel == 3 && ((f.redMask | f.greenMask | f.blueMask) >> 24) != 0) return false;
  return (f.redMask & f.greenMask) == 0 && (f.redMask & f.blueMask) == 0 && (f.greenMask & f.blueMask) == 0;
}

void ConvertFrame(const std::uint8_t* bits, int width, int height, int stride, const PixelFormat& f,
                  std::uint8_t* out, int outStride) {
  const int bpp = f.bytesPerPixel;
  // Byte index of each channel inside one output pixel.
  auto byteOf = [&](std::uint32_t mask) {
    const int lsbIndex = ShiftOf(mask) / 8;
    return f.mostSignificantFirst ? bpp - 1 - lsbIndex : lsbIndex;
  };
  const int r = byteOf(f.redMask);
  const int g = byteOf(f.greenMask);
  const int b = byteOf(f.blueMask);
  const bool common = bpp == 4 && b == 0 && g == 1 && r == 2;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = bits + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
    std::uint8_t* dst = out + static_cast<std::ptrdiff_t>(y) * outStride;
    if (common) {
      ConvertRowToX8R8G8B8(src, width, dst);
      continue;
    }
    for (int x = 0; x < width; ++x, src += 3, dst += bpp) {
      std::memset(dst, 0, static_cast<std::size_t>(bpp));
      dst[b] = src[0];
      dst[g] = src[1];
      dst[r] = src[2];
    }
  }
}

}  // namespace kivo
