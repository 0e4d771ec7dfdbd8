// Command line of `kivo`, the saver for X11 and Wayland sessions, in the
// conventions of X screen savers: single-dash options (double dashes are
// accepted too).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "flakes/flake_limits.h"
#include "host/shared/program_options.h"

namespace kivo {

enum class KivoTarget {
  kWindow,      // an ordinary window (the default)
  kFullScreen,  // the saver: every monitor covered, input ends it
  kRoot,        // X11's root window
  kWindowId,    // an X11 window someone else owns
  kBackground,  // Wayland's background layer: an animated wallpaper
  kLock,        // Wayland: the session locked, snow on the lock screen
};

enum class KivoBackend { kAuto, kX11, kWayland };

struct KivoOptions : ReplayOptions {
  KivoOptions() { frames = -1; }  // -1: draw until stopped
  KivoTarget target = KivoTarget::kWindow;
  KivoBackend backend = KivoBackend::kAuto;
  int width = 800;
  int height = 600;
  std::uint64_t windowId = 0;
  std::int32_t count = kDefaultFlakeCount;  // clamped to the slider's range
  bool countClamped = false;
  std::int64_t requestedCount = kDefaultFlakeCount;
  bool fps = false;
  bool daemonize = false;  // -lock: go on in the background once the session is locked
  bool lockGiven = false;  // -lock was asked for: a refusal is one line, as for any lock that cannot start
  std::string configFile;  // --config FILE: read this rather than the usual config file
  bool noConfig = false;   // --no-config: read none
  std::int64_t lockAfter = -1;  // -fullscreen: seconds until the saver locks the session; -1: never
  bool lockAfterGiven = false;  // on the command line, not only in a config file
};

using KivoParseResult = OptionsResult<KivoOptions>;

// args excludes the program name. `environmentWindow` is the value of
// XSCREENSAVER_WINDOW (null when unset); it wins over the command line, as
// the XScreenSaver daemon expects. `fromConfig` are a config file's lines,
// taken before the command line; with `skipped` given, a line refused goes
// there ("FILE:LINE: why") rather than refusing the whole.
KivoParseResult ParseKivoOptions(const std::vector<std::string>& args, const char* environmentWindow,
                                 const std::vector<OptionHit>& fromConfig = {},
                                 std::vector<std::string>* skipped = nullptr);

// Which window system to speak: Wayland when the session has a Wayland
// display (`waylandDisplay`, WAYLAND_DISPLAY, null or empty when there is
// none) and nothing asks for an X11 window; X11 otherwise; -x11 and
// -wayland force either.
KivoBackend ChooseBackend(const KivoOptions& options, const char* waylandDisplay);

// A window id in decimal or 0x-prefixed hexadecimal; false for anything else.
bool ParseWindowId(const std::string& text, std::uint64_t* id);

}  // namespace kivo
