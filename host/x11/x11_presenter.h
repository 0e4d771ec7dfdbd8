// Shows finished frames in an X window from an XImage, shared with the
// server through MIT-SHM where the server offers it (a local display), sent
// over the connection otherwise. Where the image's layout is the usual
// 32-bit one (masks 0xff0000, 0xff00, 0xff, least significant byte first)
// the scene draws straight into the image's memory, the shared segment
// itself with MIT-SHM: nothing is converted or copied before it is sent.
// Other layouts get the frames converted into the image.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <string>

#include "flakes/frame_view.h"
#include "host/shared/frame_conversion.h"
#include "host/shared/screen_scenes.h"

namespace kivo {

// One screen's part of a window: `rect` says where in the window and how
// large.
class X11Presenter : public ScreenOutput {
 public:
  X11Presenter(Display* display, Window window, Visual* visual, int depth);
  ~X11Presenter() override;
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // (Re)creates the image when the size changes; false, with a message on
  // standard error, when no image could be made.
  bool Place(const ScreenRect& rect) override;

  // Shows a frame of the size placed; anything else (an empty frame, a
  // stale size) leaves the window as it is. Once the image holds the
  // previous frame, only the runs the frame's damage names are converted
  // and only the rows they lie in are sent.
  void Show(const FrameView& frame) override;

  // The image's own memory where the scene can draw into it.
  FrameTarget Target() override;

  // Sends the whole image again, as it is (after an Expose).
  void Repaint() override;

  bool SharedMemory() const { return shmAttached_; }
  // The scene draws into the image: no conversion.
  bool DrawsInPlace() const;
  double LastConvertMilliseconds() const override { return convertMs_; }
  double LastCopyMilliseconds() const override { return copyMs_; }

 private:
  bool Resize(int width, int height);
  void Release();
  bool CreateShared(int width, int height);
  void Put(int x, int y, int width, int height);
  // Sends the rows `rows` names, or the whole image when `partial` is false.
  void Send(bool partial, int width, int height);

  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  GC gc_;
  PixelFormat format_;
  PixelConverter converter_;
  DirtyRows dirty_;
  bool pictureShown_ = false;  // the image holds the last frame shown
  bool shmAvailable_;
  XShmSegmentInfo shm_{};
  bool shmAttached_ = false;
  XImage* image_ = nullptr;
  int x_ = 0;
  int y_ = 0;
  double convertMs_ = 0;
  double copyMs_ = 0;
};

// The pixel layout of a visual, or false for one that is not 24/32-bit
// TrueColor with 8-bit channels.
bool PixelFormatOf(Display* display, Visual* visual, int depth, PixelFormat* format);

}  // namespace kivo
