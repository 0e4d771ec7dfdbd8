// The saver window: a top-most full-screen pop-up, or a child of the
// screen-saver host's preview pane.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "host/win32_logic/command_line.h"
#include "host/win32_logic/password_services.h"
#include "host/shared/screen_scenes.h"
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
  // The saver window's screen first, then /s's other monitors.
  std::unique_ptr<ScreenScenes> scenes;
  MonitorSummary monitorSummary;  // as the screens were laid out

  bool Preview() const { return mode == SaverMode::kPreview; }
};

// Registers the class and creates the window for the process's mode; false
// when either fails.
bool CreateSaverWindow(SaverProcess& process);

}  // namespace kivo
