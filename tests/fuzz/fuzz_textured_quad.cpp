// Textured spans and quads with arbitrary corners and texture coordinates,
// on destinations and textures of any size (empty included).
#include "raster/additive_rasterisers.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kivo::fuzz::FuzzInput in(data, size);
  kivo::RasterImage destination;
  kivo::RasterImage texture;
  destination.Create(in.IntIn(0, 80), in.IntIn(0, 60), 24);
  texture.Create(in.IntIn(0, 70), in.IntIn(0, 70), in.IntIn(0, 5) == 0 ? 8 : 24);
  for (int y = 0; y < texture.Height(); ++y)
    for (int x = 0; x < texture.Width(); ++x) texture.SetPixel(x, y, (x * 37) & 255, (y * 91) & 255, (x ^ y) & 255);
  for (int step = 0; step < 16 && !in.Empty(); ++step) {
    if (in.IntIn(0, 3) == 0) {
      const int x1 = in.Coordinate(), x2 = in.Coordinate(), y = in.Coordinate();
      const int sA = in.Coordinate(), tA = in.Coordinate(), sB = in.Coordinate(), tB = in.Coordinate();
      kivo::AddTexturedSpan(destination, x1, x2, y, texture, sA, tA, sB, tB);
      continue;
    }
    kivo::Quad p{};
    kivo::Quad t{};
    for (std::int32_t* v : {&p.x0, &p.y0, &p.x1, &p.y1, &p.x2, &p.y2, &p.x3, &p.y3}) *v = in.Coordinate();
    for (std::int32_t* v : {&t.x0, &t.y0, &t.x1, &t.y1, &t.x2, &t.y2, &t.x3, &t.y3}) *v = in.Coordinate();
    kivo::AddTexturedQuad(destination, p, texture, t);
  }
  return 0;
}
