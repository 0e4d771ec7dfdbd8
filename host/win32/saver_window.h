// The saver window: a top-most full-screen pop-up, or a child of the
// screen-saver host's preview pane.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/command_line.h"
#include "host/password_services.h"
#include "host/saver_driver.h"
#include "host/win32/monitor_windows.h"

namespace kivo {

constexpr char kSaverWindowClass[] = "KIVO.gwp";

// Everything the saver keeps for the life of the process.
struct SaverProcess {
  HINSTANCE instance = nullptr;
  SaverMode mode = SaverMode::kConfigure;
  HWND hostWindow = nullptr;
  HWND saverWindow = nullptr;
  std::int16_t targetWidth = 0;
  std::int16_t targetHeight = 0;
  UINT_PTR timerId = 0;
  bool cursorHidden = false;
  PasswordGate gate;
  std::unique_ptr<SaverDriver> driver;  // made with the window, for its mode
  std::uint32_t seed = 0;               // the saver window's; the other monitors' derive from it
  std::int32_t flakeCount = 0;
  std::vector<MonitorWindow> monitors;  // /s on the other monitors
  MonitorSummary monitorSummary;        // as the monitor windows were laid out

  bool Preview() const { return mode == SaverMode::kPreview; }
};

// Registers the class and creates the window for the process's mode; false
// when either fails.
bool CreateSaverWindow(SaverProcess& process);

}  // namespace kivo
