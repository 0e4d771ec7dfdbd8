// How ScreenScenes shows a screen on Wayland: on its window's surface.
#pragma once

#include "host/shared/screen_scenes.h"
#include "host/wayland/shm_surface.h"

namespace kivo {

class SurfaceOutput : public ScreenOutput {
 public:
  explicit SurfaceOutput(ShmSurface* surface) : surface_(surface) {}
  ~SurfaceOutput() override { surface_->Forget(); }  // the scene's frame goes with it
  bool Place(const ScreenRect& rect) override { return surface_->Prepare(rect.width, rect.height); }
  // The scene draws XRGB8888 rows, the buffers' own layout, straight into
  // a free buffer where it can.
  FrameTarget Target() override { return surface_->Target(); }
  void Show(const FrameView& frame) override {
    surface_->Show(frame);
    // Buffers are also drawn when the compositor asks, between beats: what
    // that cost is counted with the next beat.
    convertMs_ = surface_->TakeConvertMilliseconds();
    copyMs_ = surface_->TakeCopyMilliseconds();
  }
  double LastConvertMilliseconds() const override { return convertMs_; }
  double LastCopyMilliseconds() const override { return copyMs_; }

 private:
  ShmSurface* surface_;
  double convertMs_ = 0;
  double copyMs_ = 0;
};

}  // namespace kivo
