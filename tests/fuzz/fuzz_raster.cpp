// Every raster operation on images of any size and depth, with coordinates
// and radii up to the int limits. Checks that the row padding of a 24-bit
// image stays zero, besides what the sanitizers check.
#include <cstdlib>

#include "raster/raster_image.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kivo::fuzz::FuzzInput in(data, size);
  kivo::RasterImage image;
  const int depths[] = {24, 24, 24, 1, 3, 4, 8, 16, 48, 2, 0, -24};
  image.Create(in.IntIn(-2, 97), in.IntIn(-2, 67), depths[in.IntIn(0, 11)]);
  for (int step = 0; step < 64 && !in.Empty(); ++step) {
    const int x = in.Coordinate(), y = in.Coordinate(), a = in.Coordinate(), b = in.Coordinate();
    const int r = in.Int(), g = in.Int(), bl = in.Int();
    int outR = 0, outG = 0, outB = 0;
    switch (in.IntIn(0, 10)) {
      case 0: image.SetPixel(x, y, r, g, bl); break;
      case 1: image.AddPixel(x, y, r, g, bl); break;
      case 2: image.GetPixel(x, y, &outR, &outG, &outB); break;
      case 3: image.FillSpan(x, a, y, r, g, bl); break;
      case 4: image.AddSpan(x, a, y, r, g, bl); break;
      case 5: image.FillRectangle(x, y, a, b, r, g, bl); break;
      case 6: image.AddFilledCircle(x, y, a, r & 255, g & 255, bl & 255); break;
      case 7: image.SetPaletteEntry(x, r, g, bl); break;
      case 8: image.RowAddress(y); break;
      case 9: image.Create(in.IntIn(-2, 97), in.IntIn(-2, 67), depths[in.IntIn(0, 11)]); break;
      default: image.Destroy(); break;
    }
  }
  if (image.Depth() == 24 && image.RowAddress(0) != nullptr) {
    for (int y = 0; y < image.Height(); ++y)
      for (int i = image.Width() * 3; i < image.Stride(); ++i)
        if (image.RowAddress(y)[i] != 0) std::abort();
  }
  return 0;
}
