// Command line of kivo-render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/shared/program_options.h"
#include "settings/flake_count.h"

namespace kivo {

enum class ImageFormat { kBmp, kPng, kGif };

struct RenderOptions : ReplayOptions {
  RenderOptions() { frames = 100; }
  int width = 800;
  int height = 600;
  std::int64_t count = kDefaultFlakeCount;  // as given; clamped to the field when used
  std::string out = "kivo.png";
  ImageFormat format = ImageFormat::kPng;
  bool stats = false;
  // Steps on the saver's beat, sleeping between them as a running saver
  // does, rather than back to back.
  bool paced = false;
  std::int64_t gifFrames = 50;  // the last ticks an animated GIF shows
};

using ParseResult = OptionsResult<RenderOptions>;

// args excludes the program name.
ParseResult ParseRenderOptions(const std::vector<std::string>& args);

// The format a file name asks for by its extension (case-insensitive).
bool FormatFromFileName(const std::string& name, ImageFormat* format);

}  // namespace kivo
