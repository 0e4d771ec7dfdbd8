// The full-screen saver on the monitors other than the primary one. The
// primary monitor shows the saver window itself; each other monitor gets a
// top-most window of its own with snow of its own, owned by the saver
// window, drawn on its tick and passing its input on to it, so that one
// saved cursor position and one move counter judge input on every monitor.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/saver_driver.h"
#include "host/screen_layout.h"

namespace kivo {

constexpr char kMonitorWindowClass[] = "KIVO.monitor";

struct MonitorWindow {
  HWND window = nullptr;
  ScreenRect rect;  // the monitor, in screen coordinates
  std::unique_ptr<SaverDriver> driver;
};

struct SaverProcess;

// Opens a window on every monitor but the primary one, each with a scene of
// `count` flakes seeded from `seed`; a monitor whose window cannot be made
// is left out.
void OpenMonitorWindows(SaverProcess& process, std::uint32_t seed, std::int32_t count);

// Closes them all, freeing their images.
void CloseMonitorWindows(SaverProcess& process);

// Draws the next frame on each of them.
void TickMonitorWindows(SaverProcess& process);

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
