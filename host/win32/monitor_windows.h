// The full-screen saver on the monitors other than the primary one: each
// gets a top-most window of its own, owned by the saver window, that shows
// its screen's frames and hands its input to the saver window (positions in
// screen coordinates), so one set of input rules and one password check
// govern every monitor.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "host/shared/screen_layout.h"
#include "host/shared/screen_scenes.h"

namespace kivo {

constexpr char kMonitorWindowClass[] = "KIVO.monitor";

class MonitorWindow : public ScreenOutput {
 public:
  // A window covering `rect` (screen coordinates), or null when none can
  // be made.
  static std::unique_ptr<MonitorWindow> Open(HINSTANCE instance, HWND saverWindow, const ScreenRect& rect);
  ~MonitorWindow() override;

  bool Place(const ScreenRect& rect) override;
  void Show(const FrameView& frame) override;

 private:
  MonitorWindow(HWND saverWindow, const ScreenRect& rect) : saverWindow_(saverWindow), rect_(rect) {}
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND saverWindow_;
  ScreenRect rect_;
};

// The monitors as the system lists them, each known by its device name.
std::vector<Screen> ListScreens();

// What the system says of its monitors in a few cheap numbers: their count
// and the rectangle around them all. Not every system announces a monitor
// that comes or goes with a display-change message, so the saver compares
// this on every tick too.
struct MonitorSummary {
  int count = 0;
  ScreenRect bounds;
  bool operator==(const MonitorSummary& o) const { return count == o.count && bounds == o.bounds; }
  bool operator!=(const MonitorSummary& o) const { return !(*this == o); }
};
MonitorSummary SummariseMonitors();

}  // namespace kivo
