#include "tools/kivo-render/render_options.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(RenderOptions, TheDocumentedDefaults) {
  const ParseResult r = ParseRenderOptions({});
  ASSERT_TRUE(r.ok) << r.error;
  const RenderOptions& o = r.options;
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 600);
  EXPECT_EQ(o.count, 10000);
  EXPECT_EQ(o.frames, 100);
  EXPECT_EQ(o.gifFrames, 50);
  EXPECT_FALSE(o.seedGiven);
  EXPECT_FALSE(o.stats);
  EXPECT_EQ(o.out, "kivo.png");
  EXPECT_EQ(o.format, ImageFormat::kPng);
}

TEST(RenderOptions, EveryOptionAtTheEdgesOfItsRange) {
  struct Case {
    std::vector<std::string> args;
    std::int64_t (*field)(const RenderOptions&);
    std::int64_t value;
  };
  auto width = [](const RenderOptions& o) -> std::int64_t { return o.width; };
  auto height = [](const RenderOptions& o) -> std::int64_t { return o.height; };
  auto count = [](const RenderOptions& o) { return o.count; };
  auto seed = [](const RenderOptions& o) -> std::int64_t { return o.seedGiven ? o.seed : -1; };
  auto frames = [](const RenderOptions& o) { return o.frames; };
  auto gif = [](const RenderOptions& o) { return o.gifFrames; };
  auto format = [](const RenderOptions& o) { return static_cast<std::int64_t>(o.format); };
  auto stats = [](const RenderOptions& o) -> std::int64_t { return o.stats; };
  const Case accepted[] = {
      {{"--width", "1"}, width, 1},           {{"--width", "32767"}, width, 32767},
      {{"--height", "1"}, height, 1},         {{"--height", "32767"}, height, 32767},
      {{"--count", "-2147483648"}, count, -2147483648LL},  // clamped later, with a warning
      {{"--count", "2147483647"}, count, 2147483647},      {{"--count", "99999"}, count, 99999},
      {{"--seed", "0"}, seed, 0},             {{"--seed", "4294967295"}, seed, 4294967295},
      {{"--frames", "0"}, frames, 0},         {{"--frames", "2147483647"}, frames, 2147483647},
      {{"--gif-frames", "1"}, gif, 1},        {{"--gif-frames", "10000"}, gif, 10000},
      {{"--out", "x/f.BMP"}, format, static_cast<std::int64_t>(ImageFormat::kBmp)},
      {{"--out", "f.Gif"}, format, static_cast<std::int64_t>(ImageFormat::kGif)},
      {{"--out", "a.b/f.png"}, format, static_cast<std::int64_t>(ImageFormat::kPng)},
      {{"--stats"}, stats, 1},                {{"--width", "7", "--width", "9"}, width, 9},
  };
  for (const Case& c : accepted) {
    const ParseResult r = ParseRenderOptions(c.args);
    ASSERT_TRUE(r.ok) << c.args[0] << " " << c.args.back() << ": " << r.error;
    EXPECT_EQ(c.field(r.options), c.value) << c.args[0] << " " << c.args.back();
  }
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
