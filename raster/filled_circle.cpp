// RasterImage::AddFilledCircle: a midpoint-style disc, one span per row.
#include <cstdint>

#include "raster/raster_image.h"

namespace kivo {

void RasterImage::AddFilledCircle(int cx, int cy, int radius, int red, int green, int blue) {
  if (radius <= 0) {
    AddPixel(cx, cy, red, green, blue);
    return;
  }
  // The walk below takes about radius / 1.4 steps. Far beyond any image a
  // disc is refused rather than walked for seconds.
  if (radius > kMaxCircleRadius) return;
  // 64-bit throughout so that centres near the int limits cannot overflow;
  // inside the int range the results are the same.
  const std::int64_t x0 = cx;
  const std::int64_t y0 = cy;
  const std::int64_t rad = radius;
  if (x0 - rad >= width_ || x0 + rad < 0 || y0 + rad < 0 || y0 - rad >= height_) return;
  if (!Drawable()) return;

  const std::int64_t firstRow = y0 - rad > 0 ? y0 - rad : 0;
  const std::int64_t lastRow = y0 + rad < height_ - 1 ? y0 + rad : height_ - 1;
  for (std::int64_t row = firstRow; row <= lastRow; ++row) rowScratch_[row] = 0;

  // Rows at a vertical distance d from the centre exist in the image only
  // for d from nearest to farthest.
  const std::int64_t toTop = y0;
  const std::int64_t toBottom = height_ - 1 - y0;
  const std::int64_t nearest = toTop < 0 ? -toTop : (toBottom < 0 ? -toBottom : 0);
  const std::int64_t aboveTop = toTop < 0 ? -toTop : toTop;
  const std::int64_t belowBottom = toBottom < 0 ? -toBottom : toBottom;
  const std::int64_t farthest = aboveTop > belowBottom ? aboveTop : belowBottom;

  // A row takes the span of the first visit that reaches it; the marks make
  // every covered pixel receive the colour exactly once.
  auto visit = [&](std::int64_t row, std::int64_t halfWidth) {
    if (row < 0 || row >= height_ || rowScratch_[row] != 0) return;
    rowScratch_[row] = 1;
    const std::int64_t left = x0 - halfWidth;
    const std::int64_t right = x0 + halfWidth;
    if (left >= width_ || right < 0) return;
    AddSpan(static_cast<int>(left < 0 ? 0 : left), static_cast<int>(right >= width_ ? width_ - 1 : right),
            static_cast<int>(row), red, green, blue);
  };

  std::int64_t k = rad;
  std::int64_t m = 0;
  std::int64_t g = 2 * rad - 1;
  std::int64_t h = 1;
  std::int64_t o = 2 * rad - 3;
  for (;;) {
    visit(y0 + k, m);
    visit(y0 - k, m);
    visit(y0 + m, k);
    visit(y0 - m, k);
    const std::int64_t e = g - h;
    if (e > 0) {
      g = e;
    } else {
      g = e + o;
      o -= 2;
      --k;
      if (m >= k) break;
    }
    h += 2;
    ++m;
    // m only grows and k only shrinks, with m <= k: once m is past the
    // farthest row, or k short of the nearest, no later visit can draw.
    if (m > farthest || k < nearest) break;
  }
}

}  // namespace kivo
