// Command line of kivo-render.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/decimal_number.h"

namespace kivo {

enum class ImageFormat { kBmp, kPng };

struct RenderOptions {
  int width = 800;
  int height = 600;
  std::int64_t count = 10000;  // as given; the scene clamps it
  bool seedGiven = false;
  std::uint32_t seed = 0;
  std::int64_t frames = 100;
  std::string out = "kivo.png";
  ImageFormat format = ImageFormat::kPng;
  bool stats = false;
};

struct ParseResult {
  bool ok = false;
  bool help = false;
  std::string error;  // one line, without the program name
  RenderOptions options;
};

// args excludes the program name.
ParseResult ParseRenderOptions(const std::vector<std::string>& args);

// The format a file name asks for by its extension (case-insensitive).
bool FormatFromFileName(const std::string& name, ImageFormat* format);

extern const char kRenderUsage[];

}  // namespace kivo
