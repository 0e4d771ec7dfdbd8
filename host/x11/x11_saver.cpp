#include "host/x11/x11_saver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/saver_driver.h"
#include "host/screen_layout.h"
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

// The monitors of the display as RandR 1.5 lists them; empty where the
// server cannot tell.
std::vector<Monitor> ListMonitors(Display* display) {
  std::vector<Monitor> monitors;
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
      major * 100 + minor < 105) {
    return monitors;
  }
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
  for (int i = 0; i < count; ++i) {
    monitors.push_back(Monitor{ScreenRect{info[i].x, info[i].y, info[i].width, info[i].height}, info[i].primary != 0});
  }
  if (info != nullptr) XRRFreeMonitors(info);
  return monitors;
}

// One monitor's part of the window: its own snow, shown at its place.
struct Pane {
  ScreenRect rect;
  std::unique_ptr<SaverDriver> driver;
  std::unique_ptr<X11Presenter> presenter;
};

class X11Saver {
 public:
  explicit X11Saver(const X11Options& options) : options_(options) {}
  ~X11Saver();
  int Run();

 private:
  static bool TakesInput(const X11Options& o) {
    return o.target == X11Target::kOwnWindow || o.target == X11Target::kFullScreen;
  }
  // Full screen and the root window cover every monitor, one scene each.
  bool CoversMonitors() const {
    return options_.target == X11Target::kFullScreen || options_.target == X11Target::kRoot;
  }
  int OpenTarget();
  int CreateOwnWindow();
  void WatchMonitors();
  bool LayOut(std::string* error);
  void HandleEvent(const XEvent& event);
  void FollowSize(int width, int height);
  void Tick();
  void ReportFps(Clock::time_point now);
  // The pane that takes the input: the primary monitor's.
  SaverDriver& Lead() { return *panes_.front().driver; }

  X11Options options_;
  std::uint32_t seed_ = 0;
  std::vector<Pane> panes_;
  int randrEventBase_ = -1;
  Display* display_ = nullptr;
  Window window_ = 0;
  bool ownWindow_ = false;
  Cursor hiddenCursor_ = 0;
  Atom deleteWindow_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  int startX_ = 0;  // where the pointer was when the saver started
  int startY_ = 0;
  bool quit_ = false;
  std::int64_t ticks_ = 0;
  // -fps figures, summed over the current second.
  Clock::time_point fpsStart_{};
  int fpsFrames_ = 0;
  double stepMs_ = 0;
  double convertMs_ = 0;
  double copyMs_ = 0;
};

X11Saver::~X11Saver() {
  for (Pane& pane : panes_) {
    pane.presenter.reset();
    pane.driver->Stop();
  }
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
  startX_ = rootX;
  startY_ = rootY;
  return 0;
}

void X11Saver::WatchMonitors() {
  int errorBase = 0;
  if (!CoversMonitors() || !XRRQueryExtension(display_, &randrEventBase_, &errorBase)) {
    randrEventBase_ = -1;
    return;
  }
  XRRSelectInput(display_, DefaultRootWindow(display_), RRScreenChangeNotifyMask);
}

// Makes the panes follow the monitors (or the window's size): a pane that
// stays keeps its flakes, new ones start with seeds of their own.
bool X11Saver::LayOut(std::string* error) {
  std::vector<ScreenRect> rects{ScreenRect{0, 0, width_, height_}};
  // Both the own full-screen window and the root window have their origin
  // at the root's.
  if (CoversMonitors()) rects = ScreensInWindow(SaverScreens(ListMonitors(display_)), 0, 0, width_, height_);
  if (rects.empty()) rects.push_back(ScreenRect{0, 0, width_, height_});  // input and timing need a lead pane
  if (panes_.size() > rects.size()) {
    for (std::size_t i = rects.size(); i < panes_.size(); ++i) panes_[i].driver->Stop();
    panes_.resize(rects.size());
  }
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const ScreenRect& r = rects[i];
    if (i == panes_.size()) {
      Pane pane;
      pane.driver = std::make_unique<SaverDriver>(i == 0 && TakesInput(options_));
      pane.driver->Seed(ScreenSeed(seed_, i));
      pane.driver->Start(r.width, r.height, options_.count);
      if (i == 0) pane.driver->SetStartCursor(startX_, startY_);
      pane.presenter = std::make_unique<X11Presenter>(display_, window_, visual_, depth_);
      if (!pane.presenter->Resize(r.width, r.height, error)) return false;
      pane.rect = r;
      panes_.push_back(std::move(pane));
    } else if (r.width != panes_[i].rect.width || r.height != panes_[i].rect.height) {
      panes_[i].driver->Resize(r.width, r.height);
      if (!panes_[i].presenter->Resize(r.width, r.height, error)) return false;
    }
    panes_[i].rect = r;
    panes_[i].presenter->MoveTo(r.x, r.y);
  }
  return true;
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
  std::string error;
  if (!LayOut(&error)) std::fprintf(stderr, "kivo: %s\n", error.c_str());
}

void X11Saver::HandleEvent(const XEvent& event) {
  if (randrEventBase_ >= 0 && event.type == randrEventBase_ + RRScreenChangeNotify) {
    XEvent copy = event;
    XRRUpdateConfiguration(&copy);
    // A full-screen window grows or shrinks with the screen; the root
    // window does so by itself.
    const int screen = DefaultScreen(display_);
    if (ownWindow_) {
      XResizeWindow(display_, window_, static_cast<unsigned>(DisplayWidth(display_, screen)),
                    static_cast<unsigned>(DisplayHeight(display_, screen)));
    }
    std::string error;
    if (!LayOut(&error)) std::fprintf(stderr, "kivo: %s\n", error.c_str());
    return;
  }
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
      if (event.xexpose.count == 0) {
        for (Pane& pane : panes_) pane.presenter->Repaint();
      }
      break;
    case KeyPress:
      if (Lead().OnKeyOrButton() == InputAction::kRequestClose) quit_ = true;
      break;
    case ButtonPress:
      // Left and right, as on Windows; the middle button and the wheel do not count.
      if ((event.xbutton.button == Button1 || event.xbutton.button == Button3) &&
          Lead().OnKeyOrButton() == InputAction::kRequestClose) {
        quit_ = true;
      }
      break;
    case MotionNotify:
      if (Lead().OnPointerMove(event.xmotion.x_root, event.xmotion.y_root) == InputAction::kRequestClose) {
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
  if (options_.frames >= 0 && ticks_ >= options_.frames) return;
  for (Pane& pane : panes_) {
    const auto start = Clock::now();
    const FrameView frame = pane.driver->Tick();
    stepMs_ += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    pane.presenter->Present(frame);
    convertMs_ += pane.presenter->LastConvertMilliseconds();
    copyMs_ += pane.presenter->LastCopyMilliseconds();
  }
  ++fpsFrames_;
  ++ticks_;
  if (ticks_ == options_.frames) {
    std::printf("kivo: stopped after %" PRId64 " frames\n", ticks_);
    std::fflush(stdout);
  }
}

void X11Saver::ReportFps(Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - fpsStart_).count();
  if (seconds < 1.0) return;
  if (fpsFrames_ > 0) {
    std::fprintf(stderr, "kivo: %.1f fps, frame step %.3f ms, convert %.3f ms, copy %.3f ms%s\n",
                 fpsFrames_ / seconds, stepMs_ / fpsFrames_, convertMs_ / fpsFrames_, copyMs_ / fpsFrames_,
                 panes_.front().presenter->SharedMemory() ? "" : " (no MIT-SHM)");
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
  seed_ = options_.seedGiven ? options_.seed : SaverDriver::ClockSeed();
  WatchMonitors();
  std::string error;
  if (!LayOut(&error)) return Fail(error);
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
