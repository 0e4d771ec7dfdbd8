// kivo.scr: started by the system's screen-saver host with a switch that
// selects the settings dialog, a preview, the full-screen saver or a
// password change.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>

#include "host/win32_logic/command_line.h"
#include "settings/win32/japanese_message.h"
#include "host/win32/saver_window.h"
#include "host/win32/system_password.h"
#include "settings/win32/settings_dialog.h"

namespace kivo {
namespace {

int RunMessageLoop() {
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

int RunSaver(HINSTANCE instance, const char* commandLine) {
  // One instance at a time: a full-screen saver already running wins.
  if (FindWindowA(kSaverWindowClass, nullptr) != nullptr) return 0;

  const CommandLine parsed = ParseCommandLine(
      commandLine, [] { return reinterpret_cast<std::intptr_t>(GetForegroundWindow()); });
  if (parsed.failed != 0) return 0;

  auto process = std::make_unique<SaverProcess>();
  process->instance = instance;
  process->mode = parsed.mode;
  process->hostWindow = reinterpret_cast<HWND>(parsed.hostWindow);

  switch (parsed.mode) {
    case SaverMode::kConfigure:
      InitCommonControls();
      RunSettingsDialog(instance);
      return 0;
    case SaverMode::kChangePassword: {
      SystemPasswordChanger changer;
      ChangeSaverPassword(changer, parsed.hostWindow);
      return 0;
    }
    case SaverMode::kPreview:
    case SaverMode::kRun:
      if (!CreateSaverWindow(*process)) {
        ShowJapaneseMessage(sjis::kCannotCreateWindow, sjis::kStartupErrorCaption, MB_SETFOREGROUND);
        return 0;
      }
      return RunMessageLoop();
  }
  return 0;
}

}  // namespace
}  // namespace kivo

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return kivo::RunSaver(instance, commandLine);
}
