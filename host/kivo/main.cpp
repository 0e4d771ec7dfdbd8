// kivo: the snow as a Linux screen saver. On Wayland: full screen on every
// output, as an animated background, or in a window. On X11: in its own
// window, full screen, on the root window or in a window an XScreenSaver
// host gives it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/posix/kivo_config.h"
#include "host/posix/kivo_options.h"
#include "host/posix/signals.h"
#include "host/x11/x11_saver.h"
#ifdef KIVO_HAVE_WAYLAND
#include "host/wayland/wayland_saver.h"
#endif

namespace {

// libwayland looks for the compositor's socket in XDG_RUNTIME_DIR unless it
// is handed a socket or a path; without one it would print a line of its own
// before kivo's.
bool WaylandSocketFindable() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return std::getenv("WAYLAND_SOCKET") != nullptr || (display != nullptr && display[0] == '/') ||
         (runtime != nullptr && runtime[0] == '/');
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kivo::KivoSetup setup = kivo::ReadKivoSetup(args, [](const char* name) { return std::getenv(name); });
  const kivo::KivoParseResult& parsed = setup.parsed;
  // A bad config line does not keep a session from locking: said, and left out.
  for (const std::string& line : setup.skipped) std::fprintf(stderr, "kivo: %s (skipped)\n", line.c_str());
  const int answered =
      kivo::AnswerCommandLine(parsed, "kivo", kivo::ProgramUsage(kivo::Program::kKivo).c_str());
  if (answered >= 0) {
#ifdef KIVO_HAVE_WAYLAND
    if (parsed.help) std::fputs(kivo::WaylandBuildNote(), stdout);
#endif
    return answered;
  }
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
    if (!WaylandSocketFindable()) {
      return kivo::FailWith("kivo", "XDG_RUNTIME_DIR is unset or not a full path: no Wayland compositor to find");
    }
    return kivo::RunWaylandSaver(parsed.options);
#else
    std::fprintf(stderr, "kivo: this build speaks X11 only (start it with -x11, or under X11)\n");
    return 2;
#endif
  }
  return kivo::RunX11Saver(parsed.options);
}
