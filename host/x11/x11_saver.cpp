#include "host/x11/x11_saver.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/posix/saver_loop.h"
#include "host/shared/screen_scenes.h"
#include "host/x11/x11_presenter.h"

namespace kivo {
namespace {

// X errors arrive asynchronously through a C callback with no user data.
// Ours are about the target window vanishing (BadWindow, BadDrawable), which
// simply ends the saver; the id of the last error is kept for start-up checks.
int g_lastXError = 0;
int RecordXError(Display*, XErrorEvent* event) {
  g_lastXError = event->error_code;
  return 0;
}

int Fail(const std::string& message) { return FailWith("kivo", message); }

Cursor InvisibleCursor(Display* display, Window window) {
  char empty[1] = {0};
  Pixmap pixmap = XCreateBitmapFromData(display, window, empty, 1, 1);
  XColor black{};
  Cursor cursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
  XFreePixmap(display, pixmap);
  return cursor;
}

// The monitors of the display as RandR 1.5 lists them, each known by its
// name; empty where the server cannot tell.
std::vector<Monitor> ListMonitors(Display* display, std::vector<std::uint64_t>* names) {
  std::vector<Monitor> monitors;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
      major * 100 + minor < 105) {
    return monitors;
  }
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
  for (int i = 0; i < count; ++i) {
    monitors.push_back(Monitor{ScreenRect{info[i].x, info[i].y, info[i].width, info[i].height}, info[i].primary != 0});
    names->push_back(info[i].name);
  }
  if (info != nullptr) XRRFreeMonitors(info);
  return monitors;
}

class X11Saver : public LoopConnection {
 public:
  explicit X11Saver(const KivoOptions& options)
      : options_(options), scenes_(TakesInput(options), [this](const Screen&, std::size_t) {
          auto presenter = std::make_unique<X11Presenter>(display_, window_, visual_, depth_);
          if (firstPresenter_ == nullptr) firstPresenter_ = presenter.get();
          return presenter;
        }) {}
  ~X11Saver() override;
  int Run();

  int Fd() const override { return ConnectionNumber(display_); }
  bool Dispatch() override;
  void Tick(FrameTimes* times) override { scenes_.TickAll(times); }
  // An unmapped (or iconified) window, or one other windows cover whole, is
  // not drawn: its snow waits.
  bool Idle() const override { return !mapped_ || covered_; }
  const char* FpsNote() const override {
    return firstPresenter_ != nullptr && !firstPresenter_->SharedMemory() ? " (no MIT-SHM)" : "";
  }

 private:
  static bool TakesInput(const KivoOptions& o) {
    return o.target == KivoTarget::kWindow || o.target == KivoTarget::kFullScreen;
  }
  // The root window is X11's desktop background.
  bool OnRoot() const { return options_.target == KivoTarget::kRoot || options_.target == KivoTarget::kBackground; }
  // Full screen and the root window cover every monitor, one scene each.
  bool CoversMonitors() const { return options_.target == KivoTarget::kFullScreen || OnRoot(); }
  int OpenTarget();
  void CreateOwnWindow();
  bool LayOut();
  void HandleEvent(const XEvent& event);
  void Judge(InputAction action) { quit_ = quit_ || action == InputAction::kRequestClose; }

  KivoOptions options_;
  Display* display_ = nullptr;
  Window window_ = 0;
  bool ownWindow_ = false;
  Cursor hiddenCursor_ = 0;
  Atom deleteWindow_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  int randrEventBase_ = -1;
  bool quit_ = false;
  bool mapped_ = true;
  bool covered_ = false;
  X11Presenter* firstPresenter_ = nullptr;
  ScreenScenes scenes_;
};

X11Saver::~X11Saver() {
  scenes_.Stop();
  if (display_ == nullptr) return;
  if (ownWindow_ && window_ != 0) XDestroyWindow(display_, window_);
  if (hiddenCursor_ != 0) XFreeCursor(display_, hiddenCursor_);
  XCloseDisplay(display_);
}

void X11Saver::CreateOwnWindow() {
  const int screen = DefaultScreen(display_);
  visual_ = DefaultVisual(display_, screen);
  depth_ = DefaultDepth(display_, screen);
  const bool full = options_.target == KivoTarget::kFullScreen;
  width_ = full ? DisplayWidth(display_, screen) : options_.width;
  height_ = full ? DisplayHeight(display_, screen) : options_.height;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display_, screen);
  attributes.event_mask =
      KeyPressMask | ButtonPressMask | PointerMotionMask | StructureNotifyMask | ExposureMask | VisibilityChangeMask;
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
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned mask = 0;
  XQueryPointer(display_, window_, &root, &child, &rootX, &rootY, &winX, &winY, &mask);
  scenes_.SetStartPointer(rootX, rootY);
}

int X11Saver::OpenTarget() {
  display_ = XOpenDisplay(nullptr);
  if (display_ == nullptr) {
    const char* name = XDisplayName(nullptr);
    return Fail(std::string("cannot open display '") + (name != nullptr ? name : "") + "'");
  }
  XSetErrorHandler(RecordXError);
  if (TakesInput(options_)) {
    CreateOwnWindow();
    return 0;
  }
  window_ = OnRoot() ? DefaultRootWindow(display_) : static_cast<Window>(options_.windowId);
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
  // Its size, whether it can be seen and its end, nothing else: a host's
  // window keeps its input.
  XSelectInput(display_, window_, StructureNotifyMask | ExposureMask | VisibilityChangeMask);
  mapped_ = attributes.map_state == IsViewable;
  return 0;
}

// One screen per monitor in the window (its own full-screen window and the
// root window both have their origin at the root's), or the whole window.
bool X11Saver::LayOut() {
  std::vector<Screen> screens;
  if (CoversMonitors()) {
    std::vector<std::uint64_t> names;
    const std::vector<Monitor> monitors = ListMonitors(display_, &names);
    for (const ScreenRect& r : ScreensInWindow(SaverScreens(monitors), 0, 0, width_, height_)) {
      // Known by the monitor whose rectangle it is part of.
      std::uint64_t id = 0;
      for (std::size_t i = 0; i < monitors.size(); ++i) {
        const ScreenRect& m = monitors[i].rect;
        if (r.x >= m.x && r.y >= m.y && r.x < m.x + m.width && r.y < m.y + m.height) id = names[i];
      }
      screens.push_back(Screen{id, r});
    }
  }
  if (screens.empty()) screens.push_back(Screen{0, ScreenRect{0, 0, width_, height_}});
  return scenes_.LayOut(screens);
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
    LayOut();
    return;
  }
  switch (event.type) {
    case ConfigureNotify:
      if (event.xconfigure.window == window_ && (event.xconfigure.width != width_ || event.xconfigure.height != height_)) {
        width_ = event.xconfigure.width;
        height_ = event.xconfigure.height;
        LayOut();
      }
      break;
    case MapNotify:
    case UnmapNotify:
      if (event.xany.window == window_) mapped_ = event.type == MapNotify;
      break;
    case VisibilityNotify:
      if (event.xvisibility.window == window_) covered_ = event.xvisibility.state == VisibilityFullyObscured;
      break;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) {
        if (!ownWindow_) window_ = 0;
        quit_ = true;
      }
      break;
    case Expose:
      // The last frame again, so a stopped picture survives being covered.
      if (event.xexpose.count == 0) scenes_.RepaintAll();
      break;
    case KeyPress:
      Judge(scenes_.OnKey());
      break;
    case ButtonPress:
      Judge(scenes_.OnButton(ClassifyButton(event.xbutton.button, Button1, Button3)));
      break;
    case MotionNotify:
      Judge(scenes_.OnPointerMove(event.xmotion.x_root, event.xmotion.y_root));
      break;
    case ClientMessage:
      if (ownWindow_ && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) quit_ = true;
      break;
    default:
      break;
  }
}

bool X11Saver::Dispatch() {
  while (!quit_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    HandleEvent(event);
  }
  // The window it was given went away.
  if (g_lastXError == BadWindow || g_lastXError == BadDrawable) return false;
  return !quit_;
}

int X11Saver::Run() {
  if (const int failed = OpenTarget()) return failed;
  PixelFormat format;
  if (!PixelFormatOf(display_, visual_, depth_, &format)) {
    return Fail("only 24-bit and 32-bit TrueColor visuals are supported (depth " + std::to_string(depth_) + ")");
  }
  scenes_.Start(RunSeed(options_), options_.count);
  int errorBase = 0;
  if (CoversMonitors() && XRRQueryExtension(display_, &randrEventBase_, &errorBase)) {
    XRRSelectInput(display_, DefaultRootWindow(display_), RRScreenChangeNotifyMask);
  } else {
    randrEventBase_ = -1;
  }
  if (!LayOut()) return 2;  // the presenter has said why
  InstallStopSignals();
  RunSaverLoop(*this, "kivo", options_.frames, options_.fps);
  return 0;
}

}  // namespace

int RunX11Saver(const KivoOptions& options) {
  X11Saver saver(options);
  return saver.Run();
}

}  // namespace kivo
