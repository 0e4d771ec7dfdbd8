#include "host/posix/kivo_options.h"

#include <algorithm>
#include <cctype>

#include "host/shared/decimal_number.h"
#include "host/shared/program_options.h"
#include "settings/flake_count.h"

namespace kivo {

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
  if (!ParseInteger(text.substr(0, x), 1, kLargestSide, &w) || !ParseInteger(text.substr(x + 1), 1, kLargestSide, &h)) {
    return false;
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

}  // namespace

KivoParseResult ParseKivoOptions(const std::vector<std::string>& args, const char* environmentWindow,
                                 const std::vector<OptionHit>& fromConfig, std::vector<std::string>* skipped) {
  // Looked for before reading, so that every refusal of a lock knows it.
  const bool lockGiven = std::find(args.begin(), args.end(), "-lock") != args.end() ||
                         std::find(args.begin(), args.end(), "--lock") != args.end();
  std::string notWithLock;  // the first option given that -lock does not go with
  KivoParseResult result = ReadOptions<KivoOptions>(
      fromConfig, args, Program::kKivo,
      [&notWithLock](const OptionHit& hit, KivoOptions& o) -> std::string {
        // -lock locks or refuses: no other target, and nothing of X11's.
        switch (hit.id) {
          case OptionId::kWindow:
          case OptionId::kFullScreen:
          case OptionId::kBackground:
          case OptionId::kRoot:
          case OptionId::kWindowId:
          case OptionId::kX11:
            if (notWithLock.empty()) notWithLock = std::string("-") + OptionName(hit.id);
            break;
          default:
            break;
        }
        switch (hit.id) {
          case OptionId::kWindow:
            o.target = KivoTarget::kWindow;
            break;
          case OptionId::kFullScreen:
            o.target = KivoTarget::kFullScreen;
            break;
          case OptionId::kBackground:
            o.target = KivoTarget::kBackground;
            break;
          case OptionId::kLock:
            o.target = KivoTarget::kLock;
            break;
          case OptionId::kRoot:
            o.target = KivoTarget::kRoot;
            break;
          case OptionId::kX11:
            o.backend = KivoBackend::kX11;
            break;
          case OptionId::kWayland:
            o.backend = KivoBackend::kWayland;
            break;
          case OptionId::kFps:
            o.fps = true;
            break;
          case OptionId::kDaemonize:
            o.daemonize = true;
            break;
          case OptionId::kLockAfter:
            o.lockAfter = hit.number;
            o.lockAfterGiven = hit.origin.empty();
            break;
          case OptionId::kGeometry:
            if (!ParseGeometry(hit.text, &o.width, &o.height)) {
              return "-geometry wants WIDTHxHEIGHT, each 1 to 32767, not '" + hit.text + "'";
            }
            break;
          case OptionId::kWindowId:
            if (!ParseWindowId(hit.text, &o.windowId)) return "'" + hit.text + "' is not a window id";
            o.target = KivoTarget::kWindowId;
            break;
          case OptionId::kCount:
            // A config file is written once and read every time: a count
            // there that would be clamped is a mistake to point out.
            if (!hit.origin.empty() && ClampToSliderRange(hit.number) != hit.number) {
              return "count must be from " + std::to_string(kSliderMinimum) + " to " +
                     std::to_string(kSliderMaximum) + ", not " + std::to_string(hit.number);
            }
            o.requestedCount = hit.number;
            o.count = ClampToSliderRange(hit.number);
            o.countClamped = o.count != hit.number;
            break;
          case OptionId::kConfig:
            o.configFile = hit.text;
            break;
          case OptionId::kNoConfig:
            o.noConfig = true;
            break;
          default:
            break;
        }
        return "";
      },
      skipped);
  result.options.lockGiven = lockGiven;
  if (result.ok && lockGiven && !notWithLock.empty()) {
    result.ok = false;
    result.error = "-lock does not go with " + notWithLock;
    return result;
  }
  // A config file's lock-after is for the saver alone: every other mode
  // reads the same file and leaves it be.
  if (result.ok && result.options.lockAfter >= 0 && result.options.target != KivoTarget::kFullScreen) {
    result.options.lockAfter = -1;
    if (result.options.lockAfterGiven) {
      result.ok = false;
      result.error = "--lock-after goes with -fullscreen";
      return result;
    }
  }
  if (result.ok && result.options.daemonize && result.options.target != KivoTarget::kLock) {
    result.ok = false;
    result.error = "-daemonize goes with -lock";
    return result;
  }
  // -lock locks the Wayland session whoever started it: XScreenSaver's
  // window, if one is named in the environment, is not for it.
  if (lockGiven) return result;
  if (!result.ok || result.help || result.version || environmentWindow == nullptr || *environmentWindow == '\0') return result;
  // XScreenSaver names the window to draw in this way; it wins.
  if (!ParseWindowId(environmentWindow, &result.options.windowId)) {
    result.ok = false;
    result.error = std::string("XSCREENSAVER_WINDOW='") + environmentWindow + "' is not a window id";
    return result;
  }
  result.options.target = KivoTarget::kWindowId;
  return result;
}

KivoBackend ChooseBackend(const KivoOptions& options, const char* waylandDisplay) {
  if (options.backend != KivoBackend::kAuto) return options.backend;
  // The root window and a given window are X11's; so is a session with no
  // Wayland display.
  if (options.target == KivoTarget::kRoot || options.target == KivoTarget::kWindowId) return KivoBackend::kX11;
  return waylandDisplay != nullptr && *waylandDisplay != '\0' ? KivoBackend::kWayland : KivoBackend::kX11;
}

}  // namespace kivo
