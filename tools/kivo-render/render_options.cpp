#include "tools/kivo-render/render_options.h"

#include <cctype>
#include <limits>

#include "host/decimal_number.h"

namespace kivo {

const char kRenderUsage[] =
    "usage: kivo-render [--width W] [--height H] [--count N] [--seed S] [--frames F] "
    "[--out FILE] [--stats]\n";

bool FormatFromFileName(const std::string& name, ImageFormat* format) {
  const std::size_t dot = name.find_last_of('.');
  const std::size_t slash = name.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == "bmp") {
    *format = ImageFormat::kBmp;
    return true;
  }
  if (ext == "png") {
    *format = ImageFormat::kPng;
    return true;
  }
  return false;
}

ParseResult ParseRenderOptions(const std::vector<std::string>& args) {
  ParseResult result;
  RenderOptions& o = result.options;
  auto fail = [&result](const std::string& message) {
    result.ok = false;
    result.error = message;
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--stats") {
      o.stats = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      result.help = true;
      result.ok = true;
      return result;
    }
    const bool takesValue = arg == "--width" || arg == "--height" || arg == "--count" ||
                            arg == "--seed" || arg == "--frames" || arg == "--out";
    if (!takesValue) return fail("unknown option '" + arg + "'");
    if (i + 1 >= args.size()) return fail("option " + arg + " needs a value");
    const std::string& value = args[++i];
    std::int64_t n = 0;
    if (arg == "--width" || arg == "--height") {
      if (!ParseInteger(value, 1, 32767, &n)) {
        return fail(arg + " must be a whole number from 1 to 32767, not '" + value + "'");
      }
      (arg == "--width" ? o.width : o.height) = static_cast<int>(n);
    } else if (arg == "--count") {
      if (!ParseInteger(value, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max(), &n)) {
        return fail("--count must be a whole number (32-bit), not '" + value + "'");
      }
      o.count = n;
    } else if (arg == "--seed") {
      if (!ParseInteger(value, 0, std::numeric_limits<std::uint32_t>::max(), &n)) {
        return fail("--seed must be a whole number from 0 to 4294967295, not '" + value + "'");
      }
      o.seed = static_cast<std::uint32_t>(n);
      o.seedGiven = true;
    } else if (arg == "--frames") {
      if (!ParseInteger(value, 0, std::numeric_limits<std::int32_t>::max(), &n)) {
        return fail("--frames must be a whole number from 0 to 2147483647, not '" + value + "'");
      }
      o.frames = n;
    } else {
      if (value.empty()) return fail("--out needs a file name");
      o.out = value;
    }
  }
  if (!FormatFromFileName(o.out, &o.format)) {
    return fail("cannot tell the image format of '" + o.out + "': use a .bmp or .png file name");
  }
  result.ok = true;
  return result;
}

}  // namespace kivo
