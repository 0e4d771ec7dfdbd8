// An animated GIF of the last ticks of a run, written through giflib.
#pragma once

#include <memory>
#include <string>

#include "flakes/frame_view.h"

namespace kivo {

// True where this build can write GIF files.
bool GifSupported();

class GifAnimation {
 public:
  // Starts `path` (written under a temporary name until Finish) for frames
  // of width x height shown `delayMs` each, looping forever.
  static std::unique_ptr<GifAnimation> Start(const std::string& path, int width, int height, int delayMs,
                                             std::string* error);
  virtual ~GifAnimation() = default;

  // Adds one frame, reduced to its own palette of at most 256 colours.
  virtual bool AddFrame(const FrameView& frame, std::string* error) = 0;

  // Completes the file and moves it into place; after a failure, or without
  // Finish, no file is left behind.
  virtual bool Finish(std::string* error) = 0;
};

}  // namespace kivo
