// Shows finished frames in an X window: converts them to the visual's pixel
// layout in an XImage, shared with the server through MIT-SHM where the
// server offers it (a local display), sent over the connection otherwise.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <string>

#include "flakes/frame_view.h"
#include "host/x11/pixel_format.h"

namespace kivo {

class X11Presenter {
 public:
  X11Presenter(Display* display, Window window, Visual* visual, int depth);
  ~X11Presenter();
  X11Presenter(const X11Presenter&) = delete;
  X11Presenter& operator=(const X11Presenter&) = delete;

  // (Re)creates the image for a W x H frame; false with *error set when no
  // image could be made.
  bool Resize(int width, int height, std::string* error);

  // Where in the window the frame's top-left pixel goes (0, 0 at first).
  void MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
  }

  // Shows a frame of the size given to Resize; anything else (an empty
  // frame, a stale size) leaves the window as it is. Once the image holds
  // the previous frame, only the runs the frame's damage names are
  // converted and only the rows they lie in are sent.
  void Present(const FrameView& frame);

  // Sends the whole image again, as it is (after an Expose).
  void Repaint();

  bool SharedMemory() const { return shmAttached_; }
  double LastConvertMilliseconds() const { return convertMs_; }
  double LastCopyMilliseconds() const { return copyMs_; }

 private:
  void Release();
  bool CreateShared(int width, int height);
  void Put(int x, int y, int width, int height);
  void PutDirtyBands();

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
