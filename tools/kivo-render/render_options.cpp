#include "tools/kivo-render/render_options.h"

#include <cctype>

#include "host/shared/program_options.h"

namespace kivo {

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
  if (ext == "gif") {
    *format = ImageFormat::kGif;
    return true;
  }
  return false;
}

ParseResult ParseRenderOptions(const std::vector<std::string>& args) {
  ParseResult result = ReadOptions<RenderOptions>(
      {}, args, Program::kRender, [](const OptionHit& hit, RenderOptions& o) -> std::string {
        switch (hit.id) {
          case OptionId::kWidth:
            o.width = static_cast<int>(hit.number);
            break;
          case OptionId::kHeight:
            o.height = static_cast<int>(hit.number);
            break;
          case OptionId::kCount:
            o.count = hit.number;
            break;
          case OptionId::kOut:
            if (hit.text.empty()) return "--out needs a file name";
            o.out = hit.text;
            break;
          case OptionId::kStats:
            o.stats = true;
            break;
          case OptionId::kPaced:
            o.paced = true;
            break;
          case OptionId::kGifFrames:
            o.gifFrames = hit.number;
            break;
          default:
            break;
        }
        return "";
      });
  if (result.ok && !result.help && !result.version && !FormatFromFileName(result.options.out, &result.options.format)) {
    result.ok = false;
    result.error =
        "cannot tell the image format of '" + result.options.out + "': use a .bmp, .png or .gif file name";
  }
  return result;
}

}  // namespace kivo
