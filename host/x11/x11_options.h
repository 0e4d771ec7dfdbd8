// Command line of `kivo`, the X11 host, in the conventions of X screen
// savers: single-dash options (double dashes are accepted too).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

enum class X11Target { kOwnWindow, kFullScreen, kRoot, kWindowId };

struct X11Options {
  X11Target target = X11Target::kOwnWindow;
  int width = 800;
  int height = 600;
  std::uint64_t windowId = 0;
  std::int32_t count = 10000;
  bool countClamped = false;
  std::int64_t requestedCount = 10000;
  bool seedGiven = false;
  std::uint32_t seed = 0;
  bool fps = false;
  std::int64_t frames = -1;  // stop drawing after this many ticks; -1: never
};

struct X11ParseResult {
  bool ok = false;
  bool help = false;
  std::string error;
  X11Options options;
};

// args excludes the program name. `environmentWindow` is the value of
// XSCREENSAVER_WINDOW (null when unset); it wins over the command line, as
// the XScreenSaver daemon expects.
X11ParseResult ParseX11Options(const std::vector<std::string>& args, const char* environmentWindow);

// A window id in decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseWindowId(const std::string& text, std::uint64_t* id);

extern const char kX11Usage[];

}  // namespace kivo
