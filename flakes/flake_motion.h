// Moving and projecting flakes several at a time: the part of the frame step
// that draws no random number, so it can run ahead of the rest of the step
// without changing the order of the random stream. Each flake goes through
// exactly the IEEE operations the one-at-a-time step uses, in the same
// order and never fused, so every bit is the same whichever way is taken.
#pragma once

#include <cstdint>

#include "flakes/flake_field.h"

namespace kivo {

// Flakes moved and projected together: a chunk small enough for the
// results to stay in the first-level cache until the rest of the step reads
// them.
constexpr int kMotionChunk = 256;

struct ProjectedChunk {
  double sx[kMotionChunk];  // the centre on the screen
  double sy[kMotionChunk];
  std::int32_t r[kMotionChunk];  // the size in pixels
};

// How the work is done: AVX2 (4 flakes an instruction, x86-64 only, where
// the processor has it), SSE2 (2), or one at a time.
enum class MotionKind { kScalar, kSse2, kAvx2 };
MotionKind FastestMotion();
bool MotionAvailable(MotionKind kind);
const char* MotionName(MotionKind kind);

// Moves flakes first .. first + count - 1 (count <= kMotionChunk) by their
// velocities and projects them: x += vx, y += vy, z += vz; k = 500 / z;
// sx = k x + cx; sy = k y + cy; r = |k (x + 1) + cx - sx| truncated. A
// flake whose depth falls below 5 gets values that mean nothing: it is
// respawned and projected again, one at a time.
void MoveAndProject(MotionKind kind, FlakeField& field, std::int32_t first, std::int32_t count, double cx, double cy,
                    ProjectedChunk* out);

}  // namespace kivo
