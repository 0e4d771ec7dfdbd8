#include "host/x11/x11_options.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(X11Options, TheDocumentedDefaults) {
  const X11ParseResult r = ParseX11Options({}, nullptr);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.target, X11Target::kOwnWindow);
  EXPECT_EQ(r.options.width, 800);
  EXPECT_EQ(r.options.height, 600);
  EXPECT_EQ(r.options.count, 10000);
  EXPECT_EQ(r.options.frames, -1) << "draw until stopped";
  EXPECT_FALSE(r.options.seedGiven);
  EXPECT_FALSE(r.options.fps);
}

TEST(X11Options, EveryOptionAtTheEdgesOfItsRange) {
  struct Case {
    std::vector<std::string> args;
    X11Target target;
    std::int64_t width, height, count;
    bool clamped;
  };
  const X11Target own = X11Target::kOwnWindow;
  for (const Case& c : {Case{{"-geometry", "1x1"}, own, 1, 1, 10000, false},
                        Case{{"-geometry", "32767X32767"}, own, 32767, 32767, 10000, false},
                        Case{{"--count", "2000"}, own, 800, 600, 2000, false},
                        Case{{"--count", "1999"}, own, 800, 600, 2000, true},
                        Case{{"--count", "-5"}, own, 800, 600, 2000, true},
                        Case{{"-count", "30000"}, own, 800, 600, 30000, false},
                        Case{{"--count", "30001"}, own, 800, 600, 30000, true},
                        Case{{"-fullscreen"}, X11Target::kFullScreen, 800, 600, 10000, false},
                        Case{{"--root"}, X11Target::kRoot, 800, 600, 10000, false},
                        Case{{"-root", "-window"}, own, 800, 600, 10000, false}}) {
    const X11ParseResult r = ParseX11Options(c.args, nullptr);
    ASSERT_TRUE(r.ok) << c.args[0] << ": " << r.error;
    EXPECT_EQ(r.options.target, c.target) << c.args[0];
    EXPECT_EQ(std::int64_t{r.options.width} * 100000 + r.options.height, c.width * 100000 + c.height) << c.args.back();
    EXPECT_EQ(r.options.count, c.count) << c.args.back();
    EXPECT_EQ(r.options.countClamped, c.clamped) << c.args.back();
  }
  X11ParseResult r = ParseX11Options({"--seed", "4294967295", "-fps", "--frames", "0"}, nullptr);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.options.seedGiven && r.options.fps);
  EXPECT_EQ(r.options.seed, 4294967295u);
  EXPECT_EQ(r.options.frames, 0);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"-bogus"}, {"-geometry", "800"}, {"-geometry", "0x600"}, {"-geometry", "800x32768"}, {"-geometry", "x600"},
           {"--count"}, {"--seed", "-1"}, {"--frames", "x"}, {"-width", "5"}}) {
    r = ParseX11Options(bad, nullptr);
    EXPECT_FALSE(r.ok) << bad[0] << " " << bad.back();
    EXPECT_FALSE(r.error.empty());
  }
}

TEST(X11Options, WindowIdsFromTheCommandLineOrTheEnvironment) {
  for (const auto& [text, id] : {std::pair<const char*, std::uint64_t>{"0x2a00005", 0x2a00005}, {"0X2A00005", 0x2a00005},
                                 {"12345", 12345}, {"4294967295", 0xFFFFFFFFu}, {"0xFFFFFFFF", 0xFFFFFFFFu}}) {
    X11ParseResult r = ParseX11Options({"-window-id", text}, nullptr);
    ASSERT_TRUE(r.ok) << text;
    EXPECT_EQ(r.options.target, X11Target::kWindowId);
    EXPECT_EQ(r.options.windowId, id) << text;
    r = ParseX11Options({"-window", "-root"}, text);
    EXPECT_EQ(r.options.target, X11Target::kWindowId) << "XSCREENSAVER_WINDOW wins";
    EXPECT_EQ(r.options.windowId, id) << text;
  }
  for (const char* bad : {"0", "0x0", "12ab", "0x1FFFFFFFF", "4294967296", "", "0x", "-1", "xyz"}) {
    EXPECT_FALSE(ParseX11Options({"-window-id", bad}, nullptr).ok) << bad;
    if (*bad != '\0') {
      EXPECT_FALSE(ParseX11Options({}, bad).ok) << bad;
    }
  }
  EXPECT_EQ(ParseX11Options({"-root"}, "").options.target, X11Target::kRoot) << "an empty variable is no window";
}

}  // namespace
}  // namespace kivo
