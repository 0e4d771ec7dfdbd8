#include "host/x11/x11_saver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>

#include "host/saver_driver.h"
#include "host/x11/x11_presenter.h"

namespace kivo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(SaverDriver::kTickMilliseconds);

volatile sig_atomic_t g_stopRequested = 0;
void RequestStop(int) { g_stopRequested = 1; }

// X errors arrive asynchronously through a C callback with no user data.
// Ours are about the target window vanishing (BadWindow, BadDrawable), which
// simply ends the saver; the id of the last error is kept for start-up checks.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* event) {
  g_lastXError = event->error_code;
  return 0;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "kivo: %s\n", message.c_str());
  return 2;
}

void InstallSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: poll() returns at once
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

Cursor InvisibleCursor(Display* display, Window window) {
  char empty[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(display, window, empty, 1, 1);
  XColor black{};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  return cursor;
}

class X11Saver {
 public:
  explicit X11Saver(const X11Options& options) : options_(options), driver_(TakesInput(options)) {}
  ~X11Saver();
  int Run();

 private:
  static bool TakesInput(const X11Options& o) {
    return o.target == X11Target::kOwnWindow || o.target == X11Target::kFullScreen;
  }
  int OpenTarget();
  int CreateOwnWindow();
  void HandleEvent(const XEvent& event);
  void FollowSize(int width, int height);
  void Tick();
  void ReportFps(Clock::time_point now);

  X11Options options_;
  SaverDriver driver_;
  Display* display_ = nullptr;
  Window window_ = 0;
  bool ownWindow_ = false;
  Cursor hiddenCursor_ = 0;
  Atom deleteWindow_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool quit_ = false;
  std::unique_ptr<X11Presenter> presenter_;
  // -fps figures, summed over the current second.
  Clock::time_point fpsStart_{};
  int fpsFrames_ = 0;
  double stepMs_ = 0;
  double convertMs_ = 0;
  double copyMs_ = 0;
};

X11Saver::~X11Saver() {
  presenter_.reset();
  driver_.Stop();
  if (display_ != nullptr) {
    if (ownWindow_ && window_ != 0) XDestroyWindow(display_, window_);
    if (hiddenCursor_ != 0) XFreeCursor(display_, hiddenCursor_);
    XCloseDisplay(display_);
  }
}

int X11Saver::CreateOwnWindow() {
  const int screen = DefaultScreen(display_);
  visual_ = DefaultVisual(display_, screen);
  depth_ = DefaultDepth(display_, screen);
  const bool full = options_.target == X11Target::kFullScreen;
  width_ = full ? DisplayWidth(display_, screen) : options_.width;
  height_ = full ? DisplayHeight(display_, screen) : options_.height;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display_, screen);
  attributes.event_mask = KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask | ExposureMask;
  window_ = XCreateWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width_),
                          static_cast<unsigned>(height_), 0, depth_, InputOutput, visual_,
                          CWBackPixel | CWEventMask, &attributes);
  ownWindow_ = true;
  XStoreName(display_, window_, "KIVO");
  XClassHint hint{const_cast<char*>("kivo"), const_cast<char*>("KIVO")};
  XSetClassHint(display_, window_, &hint);
  deleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display_, window_, &deleteWindow_, 1);
  if (full) {
    Atom state = XInternAtom(display_, "_NET_WM_STATE", False);
    Atom fullscreen = XInternAtom(display_, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(display_, window_, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&fullscreen), 1);
    hiddenCursor_ = InvisibleCursor(display_, window_);
    XDefineCursor(display_, window_, hiddenCursor_);
  }
  XMapRaised(display_, window_);
  Window root = 0;
  Window child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned mask = 0;
  XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
  driver_.SetStartCursor(rootX, rootY);
  return 0;
}

int X11Saver::OpenTarget() {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) {
    const char* name = XDisplayName(nullptr);
    return Fail(std::string("cannot open display '") + (name != nullptr ? name : "") + "'");
  }
  XSetErrorHandler(RecordXError);
  if (TakesInput(options_)) return CreateOwnWindow();

  window_ = options_.target == X11Target::kRoot ? DefaultRootWindow(display_) : static_cast<Window>(options_.windowId);
  XWindowAttributes attributes{};
  g_lastXError = 0;
  const Status found = XGetWindowAttributes(display_, window_, &attributes);
  XSync(display_, False);
  if (found == 0 || g_lastXError != 0) {
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(window_));
    return Fail(std::string("no window ") + id + " on this display");
  }
  visual_ = attributes.visual;
  depth_ = attributes.depth;
  width_ = attributes.width;
  height_ = attributes.height;
  // Its size and its end, nothing else: a host's window keeps its input.
  XSelectInput(display_, window_, StructureNotifyMask | ExposureMask);
  return 0;
}

void X11Saver::FollowSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  driver_.Resize(width_, height_);
  std::string error;
  if (!presenter_->Resize(width_, height_, &error)) std::fprintf(stderr, "kivo: %s\n", error.c_str());
}

void X11Saver::HandleEvent(const XEvent& event) {
  switch (event.type) {
    case ConfigureNotify:
      if (event.xconfigure.window == window_) FollowSize(event.xconfigure.width, event.xconfigure.height);
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) {
        if (!ownWindow_) window_ = 0;
        quit_ = true;
      }
      break;
    case Expose:
      // The last frame again, so a stopped picture survives being covered.
      if (event.xexpose.count == 0) presenter_->Present(driver_.Frame());
      break;
    case KeyPress:
      if (driver_.OnKeyOrButton() == InputAction::kRequestClose) quit_ = true;
      break;
    case ButtonPress:
      // Left and right, as on Windows; the middle button and the wheel do not count.
      if ((event.xbutton.button == Button1 || event.xbutton.button == Button3) &&
          driver_.OnKeyOrButton() == InputAction::kRequestClose) {
        quit_ = true;
      }
      break;
    case MotionNotify:
      if (driver_.OnPointerMove(event.xmotion.x_root, event.xmotion.y_root) == InputAction::kRequestClose) {
        quit_ = true;
      }
      break;
    case ClientMessage:
      if (ownWindow_ && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) quit_ = true;
      break;
    default:
      break;
  }
}

void X11Saver::Tick() {
  if (options_.frames >= 0 && driver_.Ticks() >= options_.frames) return;
  const auto start = Clock::now();
  const FrameView frame = driver_.Tick();
  stepMs_ += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  presenter_->Present(frame);
  convertMs_ += presenter_->LastConvertMilliseconds();
  copyMs_ += presenter_->LastCopyMilliseconds();
  ++fpsFrames_;
  if (driver_.Ticks() == options_.frames) {
    std::printf("kivo: stopped after %" PRId64 " frames\n", driver_.Ticks());
    std::fflush(stdout);
  }
}

void X11Saver::ReportFps(Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - fpsStart_).count();
  if (seconds < 1.0) return;
  if (fpsFrames_ > 0) {
    std::fprintf(stderr, "kivo: %.1f fps, frame step %.3f ms, convert %.3f ms, copy %.3f ms%s\n",
                 fpsFrames_ / seconds, stepMs_ / fpsFrames_, convertMs_ / fpsFrames_, copyMs_ / fpsFrames_,
                 presenter_->SharedMemory() ? "" : " (no MIT-SHM)");
  }
  fpsStart_ = now;
  fpsFrames_ = 0;
  stepMs_ = convertMs_ = copyMs_ = 0;
}

int X11Saver::Run() {
  if (const int failed = OpenTarget()) return failed;
  PixelFormat format;
  if (!PixelFormatOf(display_, visual_, depth_, &format)) {
    return Fail("only 24-bit and 32-bit TrueColor visuals are supported (depth " + std::to_string(depth_) + ")");
  }
  if (options_.seedGiven) {
    driver_.Seed(options_.seed);
  } else {
    driver_.SeedFromClock();
  }
  driver_.Start(width_, height_, options_.count);
  presenter_ = std::make_unique<X11Presenter>(display_, window_, visual_, depth_);
  std::string error;
  if (!presenter_->Resize(width_, height_, &error)) return Fail(error);
  InstallSignalHandlers();

  const int fd = ConnectionNumber(display_);
  auto next = Clock::now();
  fpsStart_ = next;
  while (!quit_ && g_stopRequested == 0) {
    while (!quit_ && XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
      HandleEvent(event);
    }
    if (g_lastXError == BadWindow || g_lastXError == BadDrawable) break;  // the window went away
    if (quit_) break;
    auto now = Clock::now();
    if (now >= next) {
      Tick();
      next += kTick;
      now = Clock::now();
      if (next < now) next = now + kTick;  // fell behind: keep the period, drop the debt
      if (options_.fps) ReportFps(now);
    }
    pollfd connection{fd, POLLIN, 0};
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    poll(&connection, 1, static_cast<int>(wait < 0 ? 0 : wait) + 1);
  }
  return 0;
}

}  // namespace

int RunX11Saver(const X11Options& options) {
  X11Saver saver(options);
  return saver.Run();
}

}  // namespace kivo
