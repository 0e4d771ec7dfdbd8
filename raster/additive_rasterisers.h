// Additive rasterisers that map a texture onto the destination.
//
// Both only add light: every channel of a touched pixel grows by the texel's
// value and stops at 255, so the result never depends on drawing order.
// All arithmetic is integer; divisions truncate toward zero.
#pragma once

#include <cstdint>

#include "raster/raster_image.h"

namespace kivo {

// Four corners in drawing order; edges run 0-1, 1-2, 2-3, 3-0.
struct Quad {
  std::int32_t x0, y0, x1, y1, x2, y2, x3, y3;
};

// Coordinates beyond +-2^30, destination or texture, are refused (nothing is
// drawn): within that range every product of the interpolation fits 64 bits.
constexpr std::int32_t kMaxTexturedCoordinate = 1 << 30;

// Adds, along row y from x1 to x2, the texels of the texture line from
// (sA, tA) at x1 to (sB, tB) at x2. Clipping does not shift the texture.
void AddTexturedSpan(RasterImage& destination, int x1, int x2, int y, const RasterImage& texture,
                     int sA, int tA, int sB, int tB);

// Scan-converts the destination quad row by row; corner k of `dest` shows
// the texel at corner k of `tex`. Rows are filled between the outermost edge
// crossings, so a non-convex quad is filled between its outer edges.
void AddTexturedQuad(RasterImage& destination, const Quad& dest, const RasterImage& texture,
                     const Quad& tex);

}  // namespace kivo
