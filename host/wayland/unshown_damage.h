// What changed since the frame a compositor has: what that frame drew, and
// the damage of every frame made since, shown or not (a frame waits while
// the compositor has not asked for one, or when no buffer is free). The
// next frame shown must be damaged with all of it, not its own runs alone.
#pragma once

#include <cstddef>

#include "flakes/frame_view.h"
#include "host/shared/frame_conversion.h"

namespace kivo {

class UnshownDamage {
 public:
  // A frame of `height` rows was made.
  void Add(const FrameDamage& damage, int height) {
    if (whole_ || damage.whole || damage.cleared == nullptr || damage.drawn == nullptr) {
      whole_ = true;
      return;
    }
    if (rows_.last.size() != static_cast<std::size_t>(height)) rows_.Reset(height);
    for (const auto* runs : {damage.cleared, damage.drawn}) {
      for (const FrameRun& run : *runs) rows_.Add(run.row, run.x, run.pixels);
    }
  }
  // The latest frame, with this damage, was shown. The next frame shown may
  // be drawn in a buffer that held another frame than this one: whatever
  // it is, it must at least clear what this frame drew.
  void Shown(const FrameDamage& shown, int height) {
    whole_ = false;
    rows_.Reset(height);
    if (shown.whole || shown.drawn == nullptr) {  // its runs may not tell all it drew
      whole_ = true;
      return;
    }
    for (const FrameRun& run : *shown.drawn) rows_.Add(run.row, run.x, run.pixels);
  }
  // Everything is owed again (a new size, a first frame).
  void Forget() { whole_ = true; }
  bool Whole() const { return whole_; }
  const DirtyRows& Rows() const { return rows_; }

 private:
  bool whole_ = true;
  DirtyRows rows_;
};

}  // namespace kivo
