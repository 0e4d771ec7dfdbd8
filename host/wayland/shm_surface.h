// One Wayland surface showing frames from shared-memory buffers: XRGB8888,
// which every compositor takes, two or three buffers so that one is drawn
// while the compositor reads another, and never a write into a buffer the
// compositor still holds. The scene draws straight into a free buffer
// where it can; otherwise a free buffer is brought up to date from the
// scene's own block. The compositor is told only the rows that changed.
// It draws when the compositor has asked for a frame (frame callbacks), at
// the output's physical pixels: the frames the beat makes meanwhile wait,
// and only the latest is shown. A compositor asks for none while the
// output is off or the surface hidden, and then nothing is drawn.
#pragma once

#include <wayland-client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "flakes/frame_view.h"
#include "host/shared/frame_conversion.h"
#include "host/wayland/buffer_pool.h"
#include "host/wayland/frame_pacer.h"
#include "host/wayland/unshown_damage.h"
#include "host/wayland/wayland_client.h"

namespace kivo {

// Something drawn over the frames (the lock screen's prompt). Before it
// paints, the frame's own pixels of its rectangle are in the buffer again.
class SurfaceOverlay {
 public:
  virtual ~SurfaceOverlay() = default;
  // Where it goes on a frame of width x height pixels.
  virtual ScreenRect Place(int width, int height) = 0;
  // Paints it there; the pixels are XRGB8888 rows `stride` bytes apart.
  virtual void Paint(std::uint8_t* pixels, int stride, const ScreenRect& rect) = 0;
};

class ShmSurface {
 public:
  using Clock = FramePacer::Clock;
  // `changed` is called when the compositor tells the surface a new
  // preferred scale, or that it entered or left an output.
  ShmSurface(const WaylandClient& client, std::function<void()> changed);
  ~ShmSurface();
  ShmSurface(const ShmSurface&) = delete;
  ShmSurface& operator=(const ShmSurface&) = delete;

  wl_surface* Surface() const { return surface_; }

  // Its size in the compositor's logical pixels (a subsurface's, which no
  // configure tells).
  void SetLogicalSize(int width, int height);
  // The role's configure: the new logical size, acknowledged (through
  // `acknowledge`, with the serial) only with the commit of a buffer made
  // for it. Until then a frame of another size that waits is not shown:
  // the compositor would refuse it.
  void Configure(std::uint32_t serial, int width, int height);
  void SetAcknowledge(std::function<void(std::uint32_t serial)> acknowledge) { acknowledge_ = std::move(acknowledge); }
  // The output's integer scale; a fractional scale, where the compositor
  // tells one, takes precedence.
  void SetIntegerScale(int scale);
  bool Configured() const { return logicalWidth_ > 0 && logicalHeight_ > 0; }
  // The size of its frames: the logical size at the scale, in physical pixels.
  int PixelWidth() const;
  int PixelHeight() const;

  // Makes the buffers for frames of width x height pixels. False when none
  // can be made: the surface then shows black and draws nothing.
  bool Prepare(int width, int height);
  // The compositor has asked for no frame for a long while: nothing on it
  // can be seen, and its snow need not be stepped.
  bool Hidden(Clock::time_point now) const;
  // Where the next frame is best drawn: straight into a free buffer, which
  // the surface keeps for it until it is shown; the scene's own block while
  // every buffer is held.
  FrameTarget Target();
  // Takes a frame of the prepared size: shown at once when the compositor
  // has asked for one, or else as soon as it does (the latest frame then,
  // with every change since the one it shows).
  void Show(const FrameView& frame);
  // Drops the frame waiting to be shown (its pixels are about to go).
  void Forget() {
    waiting_ = FrameView{};
    lent_ = nullptr;
  }
  void SetOverlay(SurfaceOverlay* overlay) { overlay_ = overlay; }
  // Shows black over its whole logical size and draws nothing (a window
  // whose subsurfaces hold the snow). False without a viewporter.
  bool Blank();
  void Commit() { wl_surface_commit(surface_); }
  // The outputs the surface is on (a window may span several).
  const std::vector<wl_output*>& Outputs() const { return outputs_; }
  // Milliseconds spent bringing buffers up to date and handing them over
  // since the last call, for -fps.
  double TakeConvertMilliseconds();
  double TakeCopyMilliseconds();

 private:
  struct Buffer;
  enum class Mode { kNone, kFrames, kBlack };  // no buffers yet; frames; a black pixel (no memory for frames)
  void Present();
  void ShowBlack();
  void ApplyScale();
  // Acknowledges a configure that waits, if a buffer of width x height is
  // what it asked for; false when the buffer may not be committed.
  bool AcknowledgeFor(int width, int height);
  static void Released(void* data, wl_buffer* buffer);
  static void FrameDone(void* data, wl_callback* callback, std::uint32_t time);

  const WaylandClient& client_;
  std::function<void()> changed_;
  wl_surface* surface_ = nullptr;
  std::vector<wl_output*> outputs_;
  wp_viewport* viewport_ = nullptr;
  wp_fractional_scale_v1* fractional_ = nullptr;
  wl_callback* frameCallback_ = nullptr;
  int logicalWidth_ = 0;
  int logicalHeight_ = 0;
  std::function<void(std::uint32_t)> acknowledge_;
  bool acknowledgeDue_ = false;  // a configure not yet acknowledged
  std::uint32_t configureSerial_ = 0;
  int integerScale_ = 1;
  int fractionalScale_ = 0;  // in 120ths; 0 while the compositor has said none
  int appliedScale_ = 0;     // what the compositor was last told (-1: fractional, by the viewport)
  int appliedWidth_ = 0;
  int appliedHeight_ = 0;
  Mode mode_ = Mode::kNone;
  int width_ = 0;  // of the frames, in physical pixels
  int height_ = 0;
  BufferPool<Buffer> pool_;
  FramePacer pacer_;
  DamageHistory history_;
  FrameView waiting_;     // the latest frame, not shown yet; empty when none waits
  Buffer* lent_ = nullptr;  // the free buffer the scene draws into; null when none
  UnshownDamage unshown_;  // what changed since the frame the compositor has
  SurfaceOverlay* overlay_ = nullptr;
  DirtyRows rows_;
  double convertMs_ = 0;
  double copyMs_ = 0;
};

}  // namespace kivo
