// Clipping an inclusive run of pixels to one side of an image, the same way
// for every rasteriser.
#pragma once

namespace kivo {

// Clips [*lo, *hi] (lo <= hi) to [0, size - 1]; false when none of it is left.
inline bool ClipRange(int* lo, int* hi, int size) {
  if (*hi < 0 || *lo >= size) return false;
  if (*lo < 0) *lo = 0;
  if (*hi >= size) *hi = size - 1;
  return true;
}

}  // namespace kivo
