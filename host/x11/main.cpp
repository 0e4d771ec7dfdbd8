// kivo: the snow as a native X11 screen saver, in its own window, full
// screen, on the root window or in a window an XScreenSaver host gives it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/x11/x11_options.h"
#include "host/x11/x11_saver.h"
#include "kivo_version.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kivo::X11ParseResult parsed = kivo::ParseX11Options(args, std::getenv("XSCREENSAVER_WINDOW"));
  if (parsed.help) {
    std::fputs(kivo::kX11Usage, stdout);
    return 0;
  }
  if (parsed.version) {
    std::printf("kivo %s\n", KIVO_VERSION);
    return 0;
  }
  if (!parsed.ok) {
    std::fprintf(stderr, "kivo: %s\n", parsed.error.c_str());
    std::fputs(kivo::kX11Usage, stderr);
    return 2;
  }
  if (parsed.options.countClamped) {
    std::fprintf(stderr, "kivo: warning: count %" PRId64 " clamped to %" PRId32 "\n", parsed.options.requestedCount,
                 parsed.options.count);
  }
  return kivo::RunX11Saver(parsed.options);
}
