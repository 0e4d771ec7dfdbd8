// kivo: the snow as a Linux screen saver. On Wayland: full screen on every
// output, as an animated background, or in a window. On X11: in its own
// window, full screen, on the root window or in a window an XScreenSaver
// host gives it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/posix/kivo_options.h"
#include "host/posix/signals.h"
#include "host/x11/x11_saver.h"
#ifdef KIVO_HAVE_WAYLAND
#include "host/wayland/wayland_saver.h"
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kivo::KivoParseResult parsed = kivo::ParseKivoOptions(args, std::getenv("XSCREENSAVER_WINDOW"));
  // A lock that cannot start says why in one line, whoever reads it (an
  // idle daemon's log, say): no usage after it.
  if (!parsed.ok && parsed.options.lockGiven) return kivo::FailWith("kivo", parsed.error);
  const int answered = kivo::AnswerCommandLine(parsed, "kivo", kivo::kKivoUsage);
  if (answered >= 0) return answered;
  if (parsed.options.countClamped) {
    std::fprintf(stderr, "kivo: warning: count %" PRId64 " clamped to %" PRId32 "\n", parsed.options.requestedCount,
                 parsed.options.count);
  }
  // However kivo was launched, its signals are as it needs them.
  const bool locks = parsed.options.target == kivo::KivoTarget::kLock || parsed.options.lockAfter >= 0;
  kivo::ResetInheritedSignals(locks);
  const kivo::KivoBackend backend = kivo::ChooseBackend(parsed.options, std::getenv("WAYLAND_DISPLAY"));
  if (parsed.options.target == kivo::KivoTarget::kLock && backend != kivo::KivoBackend::kWayland) {
    std::fprintf(stderr, "kivo: -lock locks Wayland sessions only (under X11, XScreenSaver locks)\n");
    return 2;
  }
  if (parsed.options.lockAfter >= 0 && backend != kivo::KivoBackend::kWayland) {
    std::fprintf(stderr, "kivo: --lock-after locks Wayland sessions only (under X11, XScreenSaver locks)\n");
    return 2;
  }
  if (backend == kivo::KivoBackend::kWayland) {
#ifdef KIVO_HAVE_WAYLAND
    return kivo::RunWaylandSaver(parsed.options);
#else
    std::fprintf(stderr, "kivo: this build speaks X11 only (start it with -x11, or under X11)\n");
    return 2;
#endif
  }
  return kivo::RunX11Saver(parsed.options);
}
