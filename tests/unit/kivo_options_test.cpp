#include "host/posix/kivo_options.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

// Each option at the edges of its range, and (with no arguments) the defaults.
TEST(KivoOptions, EveryOptionAtTheEdgesOfItsRangeAndTheDefaults) {
  struct Case {
    std::vector<std::string> args;
    KivoTarget target;
    std::int64_t count;
    bool clamped;
    std::int64_t width = 800, height = 600;
  };
  using T = KivoTarget;
  const Case cases[] = {
      {{}, T::kWindow, 10000, false},                    {{"-geometry", "1x1"}, T::kWindow, 10000, false, 1, 1},
      {{"-geometry", "32767X32767"}, T::kWindow, 10000, false, 32767, 32767},
      {{"--count", "2000"}, T::kWindow, 2000, false},    {{"--count", "1999"}, T::kWindow, 2000, true},
      {{"--count", "-5"}, T::kWindow, 2000, true},       {{"-count", "30000"}, T::kWindow, 30000, false},
      {{"--count", "30001"}, T::kWindow, 30000, true},   {{"-fullscreen"}, T::kFullScreen, 10000, false},
      {{"--root"}, T::kRoot, 10000, false},              {{"-root", "-window"}, T::kWindow, 10000, false},
      {{"-background"}, T::kBackground, 10000, false},   {{"-lock", "-daemonize"}, T::kLock, 10000, false}};
  for (const Case& c : cases) {
    const KivoParseResult r = ParseKivoOptions(c.args, nullptr);
    const std::string what = c.args.empty() ? "the defaults" : c.args.front() + " " + c.args.back();
    ASSERT_TRUE(r.ok) << what << ": " << r.error;
    EXPECT_EQ(r.options.target, c.target) << what;
    EXPECT_EQ(std::int64_t{r.options.width} * 100000 + r.options.height, c.width * 100000 + c.height) << what;
    EXPECT_EQ(r.options.count, c.count) << what;
    EXPECT_EQ(r.options.countClamped, c.clamped) << what;
  }
  const KivoOptions defaults = ParseKivoOptions({}, nullptr).options;
  EXPECT_TRUE(defaults.frames == -1 && !defaults.seedGiven && !defaults.fps) << "drawn until stopped, seeded afresh";
  KivoParseResult r = ParseKivoOptions({"--seed", "4294967295", "-fps", "--frames", "0"}, nullptr);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.options.seedGiven && r.options.fps);
  EXPECT_EQ(r.options.seed, 4294967295u);
  EXPECT_EQ(r.options.frames, 0);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"-bogus"}, {"-geometry", "800"}, {"-geometry", "0x600"}, {"-geometry", "800x32768"}, {"-geometry", "x600"},
           {"--count"}, {"--seed", "-1"}, {"--frames", "x"}, {"-width", "5"}, {"-daemonize"},
           {"-fullscreen", "-daemonize"}}) {
    r = ParseKivoOptions(bad, nullptr);
    EXPECT_FALSE(r.ok) << bad[0] << " " << bad.back();
    EXPECT_FALSE(r.error.empty());
  }
}

TEST(KivoOptions, WaylandWhereTheSessionHasItAndNothingAsksForAnX11Window) {
  struct Case {
    std::vector<std::string> args;
    const char* waylandDisplay;
    const char* xscreensaverWindow;
    KivoBackend backend;
  };
  const KivoBackend x11 = KivoBackend::kX11, wayland = KivoBackend::kWayland;
  for (const Case& c : {Case{{}, "wayland-1", nullptr, wayland}, Case{{"-fullscreen"}, "wayland-1", nullptr, wayland},
                        Case{{"-background"}, "wayland-1", nullptr, wayland}, Case{{}, nullptr, nullptr, x11},
                        Case{{"-fullscreen"}, "", nullptr, x11}, Case{{"-root"}, "wayland-1", nullptr, x11},
                        Case{{"-window-id", "0x400001"}, "wayland-1", nullptr, x11},
                        Case{{"-fullscreen"}, "wayland-1", "0x400001", x11},
                        Case{{"-x11"}, "wayland-1", nullptr, x11}, Case{{"-wayland", "-root"}, nullptr, nullptr, wayland},
                        Case{{"--wayland", "--x11"}, "wayland-1", nullptr, x11}}) {
    const KivoParseResult r = ParseKivoOptions(c.args, c.xscreensaverWindow);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(ChooseBackend(r.options, c.waylandDisplay), c.backend)
        << (c.args.empty() ? "" : c.args[0]) << " with WAYLAND_DISPLAY " << (c.waylandDisplay ? c.waylandDisplay : "unset");
  }
}

// -lock locks or refuses: never turned into another target by the other
// options or by XScreenSaver's variable.
TEST(KivoOptions, LockIsNeverTurnedIntoSomethingElse) {
  for (const char* window : {static_cast<const char*>(nullptr), "0x400001", "not a window"}) {
    const KivoParseResult r = ParseKivoOptions({"-lock", "-daemonize"}, window);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.target, KivoTarget::kLock) << (window ? window : "unset");
    EXPECT_EQ(ChooseBackend(r.options, "wayland-1"), KivoBackend::kWayland);
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"-lock", "-root"}, {"-window-id", "0x400001", "-lock"}, {"-lock", "-x11"}, {"-fullscreen", "-lock"},
           {"-lock", "-background"}, {"-lock", "-window"}, {"-lock", "-daemonize", "-fullscreen"}}) {
    const KivoParseResult r = ParseKivoOptions(args, nullptr);
    EXPECT_FALSE(r.ok) << args[0] << " " << args.back();
    EXPECT_TRUE(r.options.lockGiven) << "refused in one line, without the usage";
    const std::string other = args[0] == "-lock" ? args.back() : args[0];
    EXPECT_EQ(r.error, "-lock does not go with " + other);
  }
}

TEST(KivoOptions, WindowIdsFromTheCommandLineOrTheEnvironment) {
  for (const auto& [text, id] : {std::pair<const char*, std::uint64_t>{"0x2a00005", 0x2a00005}, {"0X2A00005", 0x2a00005},
                                 {"12345", 12345}, {"4294967295", 0xFFFFFFFFu}, {"0xFFFFFFFF", 0xFFFFFFFFu}}) {
    KivoParseResult r = ParseKivoOptions({"-window-id", text}, nullptr);
    ASSERT_TRUE(r.ok) << text;
    EXPECT_EQ(r.options.target, KivoTarget::kWindowId);
    EXPECT_EQ(r.options.windowId, id) << text;
    r = ParseKivoOptions({"-window", "-root"}, text);
    EXPECT_EQ(r.options.target, KivoTarget::kWindowId) << "XSCREENSAVER_WINDOW wins";
    EXPECT_EQ(r.options.windowId, id) << text;
  }
  for (const char* bad : {"0", "0x0", "12ab", "0x1FFFFFFFF", "4294967296", "", "0x", "-1", "xyz"}) {
    EXPECT_FALSE(ParseKivoOptions({"-window-id", bad}, nullptr).ok) << bad;
    if (*bad != '\0') {
      EXPECT_FALSE(ParseKivoOptions({}, bad).ok) << bad;
    }
  }
  EXPECT_EQ(ParseKivoOptions({"-root"}, "").options.target, KivoTarget::kRoot) << "an empty variable is no window";
}

}  // namespace
}  // namespace kivo
