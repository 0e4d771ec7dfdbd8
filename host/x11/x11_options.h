// Command line of `kivo`, the X11 host, in the conventions of X screen
// savers: single-dash options (double dashes are accepted too).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/program_options.h"
#include "settings/flake_count.h"

namespace kivo {

enum class X11Target { kOwnWindow, kFullScreen, kRoot, kWindowId };

struct X11Options : ReplayOptions {
  X11Options() { frames = -1; }  // -1: draw until stopped
  X11Target target = X11Target::kOwnWindow;
  int width = 800;
  int height = 600;
  std::uint64_t windowId = 0;
  std::int32_t count = kDefaultFlakeCount;  // clamped to the slider's range
  bool countClamped = false;
  std::int64_t requestedCount = kDefaultFlakeCount;
  bool fps = false;
};

using X11ParseResult = OptionsResult<X11Options>;

// args excludes the program name. `environmentWindow` is the value of
// XSCREENSAVER_WINDOW (null when unset); it wins over the command line, as
// the XScreenSaver daemon expects.
X11ParseResult ParseX11Options(const std::vector<std::string>& args, const char* environmentWindow);

// A window id in decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseWindowId(const std::string& text, std::uint64_t* id);

extern const char kX11Usage[];

}  // namespace kivo
