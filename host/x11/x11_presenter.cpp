#include "host/x11/x11_presenter.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kivo {
namespace {

// MIT-SHM attach failures arrive as asynchronous X errors; this catches the
// one from our attach request while it is checked.
bool g_attachFailed = false;
int CatchAttachError(Display*, XErrorEvent*) {
  g_attachFailed = true;
  return 0;
}

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

bool PixelFormatOf(Display* display, Visual* visual, int depth, PixelFormat* format) {
  if (visual->c_class != TrueColor || (depth != 24 && depth != 32)) return false;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  int bitsPerPixel = 0;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == depth) bitsPerPixel = formats[i].bits_per_pixel;
  }
  if (formats != nullptr) XFree(formats);
  format->bytesPerPixel = bitsPerPixel / 8;
  format->redMask = static_cast<std::uint32_t>(visual->red_mask);
  format->greenMask = static_cast<std::uint32_t>(visual->green_mask);
  format->blueMask = static_cast<std::uint32_t>(visual->blue_mask);
  format->mostSignificantFirst = ImageByteOrder(display) == MSBFirst;
  return IsSupportedPixelFormat(*format);
}

X11Presenter::X11Presenter(Display* display, Window window, Visual* visual, int depth)
    : display_(display), window_(window), visual_(visual), depth_(depth), converter_(PixelFormat{}) {
  gc_ = XCreateGC(display_, window_, 0, nullptr);
  PixelFormatOf(display_, visual_, depth_, &format_);
  converter_ = PixelConverter(format_);
  shmAvailable_ = XShmQueryExtension(display_) == True;
}

X11Presenter::~X11Presenter() {
  Release();
  XFreeGC(display_, gc_);
}

void X11Presenter::Release() {
  if (image_ == nullptr) return;
  if (shmAttached_) {
    XShmDetach(display_, &shm_);
    XSync(display_, False);
    image_->data = nullptr;
    XDestroyImage(image_);
    shmdt(shm_.shmaddr);
    shmAttached_ = false;
  } else {
    XDestroyImage(image_);  // frees the data we allocated with malloc
  }
  image_ = nullptr;
}

bool X11Presenter::CreateShared(int width, int height) {
  image_ = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr, &shm_,
                           static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (image_ == nullptr) return false;
  const std::size_t bytes = static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(height);
  shm_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shm_.shmid < 0) {
    XDestroyImage(image_);
    image_ = nullptr;
    return false;
  }
  shm_.shmaddr = static_cast<char*>(shmat(shm_.shmid, nullptr, 0));
  // Marked for removal at once: the segment goes away with the last detach,
  // even if the process dies.
  shmctl(shm_.shmid, IPC_RMID, nullptr);
  if (shm_.shmaddr == reinterpret_cast<char*>(-1)) {
    XDestroyImage(image_);
    image_ = nullptr;
    return false;
  }
  image_->data = shm_.shmaddr;
  shm_.readOnly = False;
  g_attachFailed = false;
  XErrorHandler previous = XSetErrorHandler(CatchAttachError);
  XShmAttach(display_, &shm_);
  XSync(display_, False);
  XSetErrorHandler(previous);
  if (g_attachFailed) {  // a remote display cannot share our memory
    image_->data = nullptr;
    XDestroyImage(image_);
    image_ = nullptr;
    shmdt(shm_.shmaddr);
    return false;
  }
  shmAttached_ = true;
  return true;
}

bool X11Presenter::Place(const ScreenRect& rect) {
  x_ = rect.x;
  y_ = rect.y;
  if (image_ != nullptr && image_->width == rect.width && image_->height == rect.height) return true;
  return Resize(rect.width, rect.height);
}

bool X11Presenter::Resize(int width, int height) {
  Release();
  pictureShown_ = false;
  if (shmAvailable_ && CreateShared(width, height)) return true;
  shmAvailable_ = false;
  image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                        static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (image_ == nullptr) {
    std::fprintf(stderr, "kivo: cannot create a %d x %d X image\n", width, height);
    return false;
  }
  image_->data = static_cast<char*>(
      std::malloc(static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(height)));
  if (image_->data == nullptr) {
    XDestroyImage(image_);
    image_ = nullptr;
    std::fprintf(stderr, "kivo: out of memory for a %d x %d X image\n", width, height);
    return false;
  }
  return true;
}

void X11Presenter::Put(int x, int y, int width, int height) {
  const auto w = static_cast<unsigned>(width);
  const auto h = static_cast<unsigned>(height);
  if (shmAttached_) {
    XShmPutImage(display_, window_, gc_, image_, x, y, x_ + x, y_ + y, w, h, False);
  } else {
    XPutImage(display_, window_, gc_, image_, x, y, x_ + x, y_ + y, w, h);
  }
}

bool X11Presenter::DrawsInPlace() const {
  const PixelFormat usual;
  return image_ != nullptr && image_->bits_per_pixel == 32 && image_->byte_order == LSBFirst &&
         format_.bytesPerPixel == 4 && format_.redMask == usual.redMask && format_.greenMask == usual.greenMask &&
         format_.blueMask == usual.blueMask && !format_.mostSignificantFirst;
}

FrameTarget X11Presenter::Target() {
  if (!DrawsInPlace()) return FrameTarget{};
  return FrameTarget{FrameLayout::kTopDownXrgb32, reinterpret_cast<std::uint8_t*>(image_->data),
                     image_->bytes_per_line};
}

void X11Presenter::Send(bool partial, int width, int height) {
  if (partial) {
    for (const ScreenRect& band : ChangedBands(dirty_)) Put(band.x, band.y, band.width, band.height);
  } else {
    Put(0, 0, width, height);
  }
  pictureShown_ = true;
  // The next frame is drawn or converted into the same memory: wait until
  // the server has read this one.
  XSync(display_, False);
}

void X11Presenter::Show(const FrameView& frame) {
  if (frame.Empty() || image_ == nullptr || frame.width != image_->width || frame.height != image_->height) {
    pictureShown_ = false;  // the image no longer follows the frames
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  auto* pixels = reinterpret_cast<std::uint8_t*>(image_->data);
  if (frame.topRow == pixels) {
    // Drawn in place: the image holds the frame, and what changed since the
    // frame before is what its damage names.
    const bool partial = pictureShown_ && DamagedRows(frame, &dirty_);
    convertMs_ = 0;
    Send(partial, frame.width, frame.height);
    copyMs_ = MillisecondsSince(start);
    return;
  }
  // Only what changed since the last frame, once the image holds that one.
  const bool partial = pictureShown_ && ConvertDamage(frame, converter_, pixels, image_->bytes_per_line, &dirty_);
  if (!partial) ConvertFrame(frame, format_, pixels, image_->bytes_per_line);
  convertMs_ = MillisecondsSince(start);
  const auto copyStart = std::chrono::steady_clock::now();
  Send(partial, frame.width, frame.height);
  copyMs_ = MillisecondsSince(copyStart);
}

void X11Presenter::Repaint() {
  if (image_ == nullptr || !pictureShown_) return;
  Put(0, 0, image_->width, image_->height);
  XSync(display_, False);
}

}  // namespace kivo
