#include "raster/additive_rasterisers.h"

#include <cstdint>
#include <initializer_list>

#include "raster/clip_range.h"

namespace kivo {
namespace {

// Products of coordinate differences are formed in 64 bits: extreme corners
// cannot overflow, and every result inside the int range is unchanged.
std::int64_t Abs64(std::int64_t v) { return v < 0 ? -v : v; }

bool HasLight(int red, int green, int blue) { return red > 0 || green > 0 || blue > 0; }

bool WithinLimits(std::initializer_list<std::int32_t> values) {
  for (std::int32_t v : values) {
    if (v > kMaxTexturedCoordinate || v < -kMaxTexturedCoordinate) return false;
  }
  return true;
}

}  // namespace

void AddTexturedSpan(RasterImage& destination, int x1, int x2, int y, const RasterImage& texture,
                     int sA, int tA, int sB, int tB) {
  if (y < 0 || y >= destination.Height()) return;
  if (!WithinLimits({x1, x2, sA, tA, sB, tB})) return;
  int lo = x1 < x2 ? x1 : x2;
  int hi = x1 < x2 ? x2 : x1;
  if (!ClipRange(&lo, &hi, destination.Width())) return;

  int red = 0;
  int green = 0;
  int blue = 0;
  if (x1 == x2) {
    if (texture.GetPixel(sA, tA, &red, &green, &blue) == 1 && HasLight(red, green, blue)) {
      destination.AddPixel(x1, y, red, green, blue);
    }
    return;
  }

  const std::int64_t run = static_cast<std::int64_t>(x2) - x1;
  const std::int64_t ds = static_cast<std::int64_t>(sB) - sA;
  const std::int64_t dt = static_cast<std::int64_t>(tB) - tA;
  // The previous texel and its colour: a texture stretched over a long span
  // repeats each texel, and a repeat costs no fetch.
  std::int64_t lastS = -1000000;
  std::int64_t lastT = -1000000;
  for (int x = lo; x <= hi; ++x) {
    const std::int64_t step = static_cast<std::int64_t>(x) - x1;
    const std::int64_t s = sA + step * ds / run;
    const std::int64_t t = tA + step * dt / run;
    if (s != lastS || t != lastT) {
      lastS = s;
      lastT = t;
      if (texture.GetPixel(static_cast<int>(s), static_cast<int>(t), &red, &green, &blue) != 1) {
        red = green = blue = 0;
      }
    }
    if (HasLight(red, green, blue)) destination.AddPixel(x, y, red, green, blue);
  }
}

void AddTexturedQuad(RasterImage& destination, const Quad& dest, const RasterImage& texture,
                     const Quad& tex) {
  const std::int32_t px[4] = {dest.x0, dest.x1, dest.x2, dest.x3};
  const std::int32_t py[4] = {dest.y0, dest.y1, dest.y2, dest.y3};
  const std::int32_t ts[4] = {tex.x0, tex.x1, tex.x2, tex.x3};
  const std::int32_t tt[4] = {tex.y0, tex.y1, tex.y2, tex.y3};
  if (!WithinLimits({px[0], px[1], px[2], px[3], py[0], py[1], py[2], py[3], ts[0], ts[1], ts[2], ts[3], tt[0], tt[1],
                     tt[2], tt[3]})) {
    return;
  }

  std::int32_t xmin = px[0];
  std::int32_t xmax = px[0];
  std::int32_t ymin = py[0];
  std::int32_t ymax = py[0];
  for (int i = 1; i < 4; ++i) {
    if (px[i] < xmin) xmin = px[i];
    if (px[i] > xmax) xmax = px[i];
    if (py[i] < ymin) ymin = py[i];
    if (py[i] > ymax) ymax = py[i];
  }
  const int height = destination.Height();
  if (ymin >= height || ymax < 0 || xmin >= destination.Width() || xmax < 0) return;

  const int firstRow = ymin > 0 ? ymin : 0;
  const int lastRow = ymax < height - 1 ? ymax : height - 1;
  for (int y = firstRow; y <= lastRow; ++y) {
    std::int64_t left = 2147483647;
    std::int64_t right = -2147483647;
    std::int64_t leftS = 0;
    std::int64_t leftT = 0;
    std::int64_t rightS = 0;
    std::int64_t rightT = 0;
    for (int a = 0; a < 4; ++a) {
      const int b = (a + 1) & 3;
      const std::int64_t ya = py[a];
      const std::int64_t yb = py[b];
      if (ya == yb || (y - ya) * (y - yb) > 0) continue;
      const std::int64_t crossing = px[a] + (static_cast<std::int64_t>(px[b]) - px[a]) * (y - ya) / (yb - ya);
      const std::int64_t da = Abs64(y - ya);
      const std::int64_t db = Abs64(y - yb);
      const std::int64_t s = (ts[a] * db + ts[b] * da) / (da + db);
      const std::int64_t t = (tt[a] * db + tt[b] * da) / (da + db);
      if (crossing < left) {
        left = crossing;
        leftS = s;
        leftT = t;
      }
      if (crossing > right) {
        right = crossing;
        rightS = s;
        rightT = t;
      }
    }
    if (left <= right) {
      AddTexturedSpan(destination, static_cast<int>(left), static_cast<int>(right), y, texture,
                      static_cast<int>(leftS), static_cast<int>(leftT), static_cast<int>(rightS),
                      static_cast<int>(rightT));
    }
  }
}

}  // namespace kivo
