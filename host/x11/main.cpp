// kivo: the snow as a native X11 screen saver, in its own window, full
// screen, on the root window or in a window an XScreenSaver host gives it.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/x11/x11_options.h"
#include "host/x11/x11_saver.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const kivo::X11ParseResult parsed = kivo::ParseX11Options(args, std::getenv("XSCREENSAVER_WINDOW"));
  const int answered = kivo::AnswerCommandLine(parsed, "kivo", kivo::kX11Usage);
  if (answered >= 0) return answered;
  if (parsed.options.countClamped) {
    std::fprintf(stderr, "kivo: warning: count %" PRId64 " clamped to %" PRId32 "\n", parsed.options.requestedCount,
                 parsed.options.count);
  }
  return kivo::RunX11Saver(parsed.options);
}
