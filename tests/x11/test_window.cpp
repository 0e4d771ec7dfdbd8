// kivo-test-window WIDTH HEIGHT: maps a black window at (100, 100), prints its id, and keeps it until
// SIGTERM or SIGINT, then destroys it. Stands in for the window an XScreenSaver host would give kivo.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

namespace {
volatile sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }
}  // namespace

int main(int argc, char** argv) {
  Display* display = argc == 3 ? XOpenDisplay(nullptr) : nullptr;
  if (display == nullptr) {
    std::fprintf(stderr, "usage: kivo-test-window WIDTH HEIGHT (on an X display)\n");
    return 2;
  }
  const unsigned long black = BlackPixel(display, DefaultScreen(display));
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, std::atoi(argv[1]),
                                      std::atoi(argv[2]), 0, black, black);
  XStoreName(display, window, "kivo test window");
  XSelectInput(display, window, KeyPressMask | StructureNotifyMask);
  XMapWindow(display, window);
  XSync(display, False);
  std::printf("%lu\n", static_cast<unsigned long>(window));
  std::fflush(stdout);
  struct sigaction action {};
  action.sa_handler = Stop;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  XEvent event;
  while (g_stop == 0) {
    while (XPending(display) > 0) XNextEvent(display, &event);
    poll(&connection, 1, 100);
  }
  XDestroyWindow(display, window);
  XCloseDisplay(display);
  return 0;
}
