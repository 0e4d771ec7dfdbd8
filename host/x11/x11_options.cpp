#include "host/x11/x11_options.h"

#include <cctype>
#include <limits>

#include "host/decimal_number.h"
#include "settings/flake_count.h"

namespace kivo {

const char kX11Usage[] =
    "usage: kivo [-window | -fullscreen | -root | -window-id ID] [-geometry WxH] [--count N] [--seed S]\n"
    "            [-fps] [--frames F]\n";

bool ParseWindowId(const std::string& text, std::uint64_t* id) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const unsigned base = hex ? 16 : 10;
  for (std::size_t i = hex ? 2 : 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    unsigned digit = 0;
    if (std::isdigit(c)) {
      digit = c - '0';
    } else if (hex && std::isxdigit(c)) {
      digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
    } else {
      return false;
    }
    if (value > (0xFFFFFFFFu - digit) / base) return false;  // X ids are 29-bit values in 32 bits
    value = value * base + digit;
  }
  if (value == 0) return false;
  *id = value;
  return true;
}

namespace {

bool ParseGeometry(const std::string& text, int* width, int* height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  std::int64_t w = 0;
  std::int64_t h = 0;
  if (!ParseInteger(text.substr(0, x), 1, 32767, &w) || !ParseInteger(text.substr(x + 1), 1, 32767, &h)) {
    return false;
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace

X11ParseResult ParseX11Options(const std::vector<std::string>& args, const char* environmentWindow) {
  X11ParseResult result;
  X11Options& o = result.options;
  auto fail = [&result](const std::string& message) {
    result.ok = false;
    result.error = message;
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') arg.erase(0, 1);
    if (arg == "-help" || arg == "-h") {
      result.help = true;
      result.ok = true;
      return result;
    }
    if (arg == "-window") {
      o.target = X11Target::kOwnWindow;
    } else if (arg == "-fullscreen") {
      o.target = X11Target::kFullScreen;
    } else if (arg == "-root") {
      o.target = X11Target::kRoot;
    } else if (arg == "-fps") {
      o.fps = true;
    } else if (arg == "-geometry" || arg == "-window-id" || arg == "-count" || arg == "-seed" || arg == "-frames") {
      if (i + 1 >= args.size()) return fail("option " + args[i] + " needs a value");
      const std::string& value = args[++i];
      std::int64_t n = 0;
      if (arg == "-geometry") {
        if (!ParseGeometry(value, &o.width, &o.height)) {
          return fail("-geometry wants WIDTHxHEIGHT, each 1 to 32767, not '" + value + "'");
        }
      } else if (arg == "-window-id") {
        if (!ParseWindowId(value, &o.windowId)) return fail("'" + value + "' is not a window id");
        o.target = X11Target::kWindowId;
      } else if (arg == "-count") {
        if (!ParseInteger(value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
                          &n)) {
          return fail("--count must be a whole number, not '" + value + "'");
        }
        o.requestedCount = n;
        o.count = static_cast<std::int32_t>(n < kSliderMinimum ? kSliderMinimum : n > kSliderMaximum ? kSliderMaximum : n);
        o.countClamped = o.count != n;
      } else if (arg == "-seed") {
        if (!ParseInteger(value, 0, std::numeric_limits<std::uint32_t>::max(), &n)) {
          return fail("--seed must be a whole number from 0 to 4294967295, not '" + value + "'");
        }
        o.seed = static_cast<std::uint32_t>(n);
        o.seedGiven = true;
      } else {
        if (!ParseInteger(value, 0, std::numeric_limits<std::int32_t>::max(), &n)) {
          return fail("--frames must be a whole number from 0 to 2147483647, not '" + value + "'");
        }
        o.frames = n;
      }
    } else {
      return fail("unknown option '" + args[i] + "'");
    }
  }
  if (environmentWindow != nullptr && *environmentWindow != '\0') {
    if (!ParseWindowId(environmentWindow, &o.windowId)) {
      return fail(std::string("XSCREENSAVER_WINDOW='") + environmentWindow + "' is not a window id");
    }
    o.target = X11Target::kWindowId;
  }
  result.ok = true;
  return result;
}

}  // namespace kivo
