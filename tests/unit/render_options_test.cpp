#include "tools/kivo-render/render_options.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

// Each option at the edges of its range, and (with no arguments) its default.
TEST(RenderOptions, EveryOptionAtTheEdgesOfItsRangeAndItsDefault) {
  struct Case {
    std::vector<std::string> args;
    std::int64_t (*field)(const RenderOptions&);
    std::int64_t value;
  };
  auto width = [](const RenderOptions& o) -> std::int64_t { return o.width; };
  auto height = [](const RenderOptions& o) -> std::int64_t { return o.height; };
  auto count = [](const RenderOptions& o) { return o.count; };
  auto seed = [](const RenderOptions& o) { return o.seedGiven ? std::int64_t{o.seed} : -1; };
  auto frames = [](const RenderOptions& o) { return o.frames; };
  auto gif = [](const RenderOptions& o) { return o.gifFrames; };
  auto format = [](const RenderOptions& o) { return static_cast<std::int64_t>(o.format); };
  auto stats = [](const RenderOptions& o) -> std::int64_t { return o.stats; };
  auto paced = [](const RenderOptions& o) -> std::int64_t { return o.paced; };
  const auto png = static_cast<std::int64_t>(ImageFormat::kPng);
  const Case accepted[] = {
      {{}, width, 800},    {{}, height, 600},  {{}, count, 10000}, {{}, seed, -1},
      {{}, frames, 100},   {{}, gif, 50},      {{}, format, png},  {{}, stats, 0}, {{}, paced, 0}, {{"--paced"}, paced, 1},
      {{"--width", "1"}, width, 1},           {{"--width", "32767"}, width, 32767},
      {{"--height", "1"}, height, 1},         {{"--height", "32767"}, height, 32767},
      {{"--count", "-2147483648"}, count, -2147483648LL},  // clamped later, with a warning
      {{"--count", "2147483647"}, count, 2147483647},      {{"--count", "99999"}, count, 99999},
      {{"--seed", "0"}, seed, 0},             {{"--seed", "4294967295"}, seed, 4294967295},
      {{"--frames", "0"}, frames, 0},         {{"--frames", "2147483647"}, frames, 2147483647},
      {{"--gif-frames", "1"}, gif, 1},        {{"--gif-frames", "10000"}, gif, 10000},
      {{"--out", "x/f.BMP"}, format, static_cast<std::int64_t>(ImageFormat::kBmp)},
      {{"--out", "f.Gif"}, format, static_cast<std::int64_t>(ImageFormat::kGif)},
      {{"--out", "a.b/f.png"}, format, png},
      {{"--stats"}, stats, 1},                {{"--width", "7", "--width", "9"}, width, 9},
  };
  for (const Case& c : accepted) {
    const ParseResult r = ParseRenderOptions(c.args);
    const std::string what = c.args.empty() ? "the default" : c.args[0] + " " + c.args.back();
    ASSERT_TRUE(r.ok) << what << ": " << r.error;
    EXPECT_EQ(c.field(r.options), c.value) << what;
  }
  EXPECT_EQ(ParseRenderOptions({}).options.out, "kivo.png");
  const std::vector<std::vector<std::string>> refused = {
      {"--width", "0"},        {"--width", "32768"},     {"--height", "0"},          {"--height", "32768"},
      {"--width", "12px"},     {"--width", ""},          {"--width"},                {"--seed", "-1"},
      {"--seed", "4294967296"}, {"--frames", "-1"},      {"--frames", "2147483648"}, {"--gif-frames", "0"},
      {"--gif-frames", "10001"}, {"--count", "2147483648"}, {"--count", "ten"},      {"--bogus"},
      {"-width", "5"},         {"--out", "a.jpg"},       {"--out", "noext"},         {"--out", "dir.png/file"},
      {"--out", ""},
  };
  for (const auto& args : refused) {
    const ParseResult r = ParseRenderOptions(args);
    EXPECT_FALSE(r.ok) << args[0] << " " << args.back();
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace kivo
