#include "flakes/flake_motion.h"

#include <cmath>

#include "flakes/projection.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define KIVO_MOTION_SSE2 1
#endif
#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KIVO_MOTION_AVX2 1
#endif

namespace kivo {
namespace {

constexpr double kDeepEnough = 5.0;  // below it the step respawns the flake first

void Scalar(FlakeField& field, std::int32_t first, std::int32_t count, double cx, double cy, ProjectedChunk* out) {
  double* x = field.X() + first;
  double* y = field.Y() + first;
  double* z = field.Z() + first;
  const double* vx = field.VX() + first;
  const double* vy = field.VY() + first;
  const double* vz = field.VZ() + first;
  for (std::int32_t i = 0; i < count; ++i) {
    x[i] += vx[i];
    y[i] += vy[i];
    z[i] += vz[i];
    out->r[i] = 0;
    if (!(z[i] >= kDeepEnough)) continue;  // to be respawned, and projected then
    const double k = kFocalLength / z[i];
    out->sx[i] = k * x[i] + cx;
    out->sy[i] = k * y[i] + cy;
    const double sx1 = k * (x[i] + 1) + cx;
    out->r[i] = static_cast<std::int32_t>(std::fabs(sx1 - out->sx[i]));
  }
}

// Flakes done .. count - 1 of the chunk, fewer than a vector holds.
void ScalarTail(FlakeField& field, std::int32_t first, std::int32_t done, std::int32_t count, double cx, double cy,
                ProjectedChunk* out) {
  if (done >= count) return;
  ProjectedChunk tail;
  Scalar(field, first + done, count - done, cx, cy, &tail);
  for (std::int32_t j = done; j < count; ++j) {
    out->sx[j] = tail.sx[j - done];
    out->sy[j] = tail.sy[j - done];
    out->r[j] = tail.r[j - done];
  }
}

#ifdef KIVO_MOTION_SSE2
void Sse2(FlakeField& field, std::int32_t first, std::int32_t count, double cx, double cy, ProjectedChunk* out) {
  double* x = field.X() + first;
  double* y = field.Y() + first;
  double* z = field.Z() + first;
  const double* vx = field.VX() + first;
  const double* vy = field.VY() + first;
  const double* vz = field.VZ() + first;
  const __m128d focal = _mm_set1_pd(kFocalLength), one = _mm_set1_pd(1.0);
  const __m128d centreX = _mm_set1_pd(cx), centreY = _mm_set1_pd(cy);
  const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
  std::int32_t i = 0;
  for (; i + 2 <= count; i += 2) {
    const __m128d px = _mm_add_pd(_mm_loadu_pd(x + i), _mm_loadu_pd(vx + i));
    const __m128d py = _mm_add_pd(_mm_loadu_pd(y + i), _mm_loadu_pd(vy + i));
    const __m128d pz = _mm_add_pd(_mm_loadu_pd(z + i), _mm_loadu_pd(vz + i));
    _mm_storeu_pd(x + i, px);
    _mm_storeu_pd(y + i, py);
    _mm_storeu_pd(z + i, pz);
    const __m128d k = _mm_div_pd(focal, pz);
    const __m128d sx = _mm_add_pd(_mm_mul_pd(k, px), centreX);
    _mm_storeu_pd(out->sx + i, sx);
    _mm_storeu_pd(out->sy + i, _mm_add_pd(_mm_mul_pd(k, py), centreY));
    const __m128d sx1 = _mm_add_pd(_mm_mul_pd(k, _mm_add_pd(px, one)), centreX);
    const __m128i r = _mm_cvttpd_epi32(_mm_and_pd(_mm_sub_pd(sx1, sx), magnitude));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out->r + i), r);
  }
  ScalarTail(field, first, i, count, cx, cy, out);
}
#endif

#ifdef KIVO_MOTION_AVX2
__attribute__((target("avx2"))) void Avx2(FlakeField& field, std::int32_t first, std::int32_t count, double cx,
                                          double cy, ProjectedChunk* out) {
  double* x = field.X() + first;
  double* y = field.Y() + first;
  double* z = field.Z() + first;
  const double* vx = field.VX() + first;
  const double* vy = field.VY() + first;
  const double* vz = field.VZ() + first;
  const __m256d focal = _mm256_set1_pd(kFocalLength), one = _mm256_set1_pd(1.0);
  const __m256d centreX = _mm256_set1_pd(cx), centreY = _mm256_set1_pd(cy);
  const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFLL));
  std::int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m256d px = _mm256_add_pd(_mm256_loadu_pd(x + i), _mm256_loadu_pd(vx + i));
    const __m256d py = _mm256_add_pd(_mm256_loadu_pd(y + i), _mm256_loadu_pd(vy + i));
    const __m256d pz = _mm256_add_pd(_mm256_loadu_pd(z + i), _mm256_loadu_pd(vz + i));
    _mm256_storeu_pd(x + i, px);
    _mm256_storeu_pd(y + i, py);
    _mm256_storeu_pd(z + i, pz);
    const __m256d k = _mm256_div_pd(focal, pz);
    const __m256d sx = _mm256_add_pd(_mm256_mul_pd(k, px), centreX);
    _mm256_storeu_pd(out->sx + i, sx);
    _mm256_storeu_pd(out->sy + i, _mm256_add_pd(_mm256_mul_pd(k, py), centreY));
    const __m256d sx1 = _mm256_add_pd(_mm256_mul_pd(k, _mm256_add_pd(px, one)), centreX);
    const __m128i r = _mm256_cvttpd_epi32(_mm256_and_pd(_mm256_sub_pd(sx1, sx), magnitude));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out->r + i), r);
  }
  ScalarTail(field, first, i, count, cx, cy, out);
}
#endif

}  // namespace

bool MotionAvailable(MotionKind kind) {
  switch (kind) {
    case MotionKind::kScalar:
      return true;
    case MotionKind::kSse2:
#ifdef KIVO_MOTION_SSE2
      return true;
#else
      return false;
#endif
    case MotionKind::kAvx2:
#ifdef KIVO_MOTION_AVX2
      return __builtin_cpu_supports("avx2") != 0;
#else
      return false;
#endif
  }
  return false;
}

MotionKind FastestMotion() {
  if (MotionAvailable(MotionKind::kAvx2)) return MotionKind::kAvx2;
  return MotionAvailable(MotionKind::kSse2) ? MotionKind::kSse2 : MotionKind::kScalar;
}

const char* MotionName(MotionKind kind) {
  return kind == MotionKind::kAvx2 ? "avx2" : kind == MotionKind::kSse2 ? "sse2" : "scalar";
}

void MoveAndProject(MotionKind kind, FlakeField& field, std::int32_t first, std::int32_t count, double cx, double cy,
                    ProjectedChunk* out) {
  switch (kind) {
#ifdef KIVO_MOTION_AVX2
    case MotionKind::kAvx2:
      Avx2(field, first, count, cx, cy, out);
      return;
#endif
#ifdef KIVO_MOTION_SSE2
    case MotionKind::kSse2:
      Sse2(field, first, count, cx, cy, out);
      return;
#endif
    default:
      Scalar(field, first, count, cx, cy, out);
      return;
  }
}

}  // namespace kivo
