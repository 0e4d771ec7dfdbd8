// The command lines of kivo-render and of kivo: NUL-separated
// arguments, and an XSCREENSAVER_WINDOW value; and the same bytes as kivo's
// config file.
#include <string>
#include <vector>

#include "host/posix/kivo_options.h"
#include "host/shared/config_file.h"
#include "tests/fuzz/fuzz_input.h"
#include "tools/kivo-render/render_options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= bytes.size(); ++i) {
    if (i == bytes.size() || bytes[i] == '\0') {
      args.push_back(bytes.substr(start, i - start));
      start = i + 1;
    }
  }
  const std::string environment = args.empty() ? std::string() : args.back();
  const kivo::ParseResult render = kivo::ParseRenderOptions(args);
  if (render.ok && !render.help) {
    const kivo::RenderOptions& o = render.options;
    if (o.width < 1 || o.width > 32767 || o.height < 1 || o.height > 32767 || o.frames < 0) __builtin_trap();
  }
  if (!render.ok && render.error.empty()) __builtin_trap();
  const kivo::KivoParseResult kivo = kivo::ParseKivoOptions(args, environment.c_str());
  if (kivo.ok && !kivo.help) {
    const kivo::KivoOptions& o = kivo.options;
    if (o.count < 2000 || o.count > 30000 || o.width < 1 || o.height < 1) __builtin_trap();
    if (o.target == kivo::KivoTarget::kWindowId && o.windowId == 0) __builtin_trap();
  }
  if (!kivo.ok && kivo.error.empty()) __builtin_trap();
  // Every bad line is named by file and number; every good one is a setting.
  const kivo::ConfigLines config = kivo::ParseConfigText(bytes, "f", kivo::Program::kKivo);
  for (const std::string& error : config.errors) {
    if (error.compare(0, 2, "f:") != 0) __builtin_trap();
  }
  for (const kivo::OptionHit& hit : config.hits) {
    if (hit.origin.compare(0, 2, "f:") != 0 || hit.id == kivo::OptionId::kWindowId) __builtin_trap();
  }
  return 0;
}
