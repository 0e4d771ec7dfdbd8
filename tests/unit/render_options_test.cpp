#include "tools/kivo-render/render_options.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(RenderOptions, DefaultsWhenNothingIsGiven) {
  const ParseResult r = ParseRenderOptions({});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.width, 800);
  EXPECT_EQ(r.options.height, 600);
  EXPECT_EQ(r.options.count, 10000);
  EXPECT_EQ(r.options.frames, 100);
  EXPECT_FALSE(r.options.seedGiven);
  EXPECT_EQ(r.options.out, "kivo.png");
  EXPECT_EQ(r.options.format, ImageFormat::kPng);
  EXPECT_FALSE(r.options.stats);
}

TEST(RenderOptions, EveryOptionIsRead) {
  const ParseResult r = ParseRenderOptions({"--width", "1920", "--height", "1080", "--count", "99999", "--seed",
                                            "4294967295", "--frames", "0", "--out", "x/frame.BMP", "--stats"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.width, 1920);
  EXPECT_EQ(r.options.height, 1080);
  EXPECT_EQ(r.options.count, 99999) << "clamping is the scene's job, with a warning";
  EXPECT_TRUE(r.options.seedGiven);
  EXPECT_EQ(r.options.seed, 4294967295u);
  EXPECT_EQ(r.options.frames, 0);
  EXPECT_EQ(r.options.format, ImageFormat::kBmp);
  EXPECT_TRUE(r.options.stats);
}

TEST(RenderOptions, BadInputIsRefusedWithAMessage) {
  const std::vector<std::vector<std::string>> bad = {
      {"--width", "0"},          {"--width", "32768"},     {"--height", "-1"},
      {"--width", "12px"},       {"--width", ""},          {"--width"},
      {"--seed", "-1"},          {"--seed", "4294967296"}, {"--frames", "-3"},
      {"--count", "2147483648"}, {"--count", "ten"},       {"--bogus"},
      {"--out", "a.jpg"},        {"--out", "noext"},       {"--out", "dir.png/file"},
      {"--out", ""},             {"--width", "+"},         {"--width", "99999999999999999999999"},
  };
  for (const auto& args : bad) {
    const ParseResult r = ParseRenderOptions(args);
    EXPECT_FALSE(r.ok) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_FALSE(r.error.empty());
    EXPECT_EQ(r.error.find('\n'), std::string::npos);
  }
}

}  // namespace
}  // namespace kivo
