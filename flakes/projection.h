// Pin-hole projection: screen offset = focal * (x, y) / z.
#pragma once

namespace kivo {

constexpr double kFocalLength = 500.0;

// 0 without writing the outputs when |z| < 1e-8 or z is not a number.
inline int Project(double x, double y, double z, double focal, double* sx, double* sy) {
  // Written as a negated "at least" test so that a NaN depth is refused too.
  if (!(z >= 1e-8 || z <= -1e-8)) return 0;
  const double k = focal / z;
  *sx = k * x;
  *sy = k * y;
  return 1;
}

}  // namespace kivo
