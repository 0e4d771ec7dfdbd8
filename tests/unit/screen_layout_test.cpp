#include "host/screen_layout.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kivo {

void PrintTo(const ScreenRect& r, std::ostream* os) {
  *os << r.width << "x" << r.height << "+" << r.x << "+" << r.y;
}

namespace {

using Screens = std::vector<ScreenRect>;

TEST(ScreenLayout, OneMonitorIsOneScreenAsItAlwaysWas) {
  EXPECT_EQ(SaverScreens({{{0, 0, 1920, 1080}, true}}), (Screens{{0, 0, 1920, 1080}}));
  EXPECT_EQ(SaverScreens({{{0, 0, 1024, 768}, false}}), (Screens{{0, 0, 1024, 768}})) << "no primary flag";
  EXPECT_TRUE(SaverScreens({}).empty());
}

TEST(ScreenLayout, ThePrimaryMonitorLeadsWhereverItIsListed) {
  const std::vector<Monitor> sideBySide = {{{1024, 0, 800, 600}, false}, {{0, 0, 1024, 768}, true}};
  EXPECT_EQ(SaverScreens(sideBySide), (Screens{{0, 0, 1024, 768}, {1024, 0, 800, 600}}));
}

TEST(ScreenLayout, MonitorsLeftOfOrAboveThePrimaryKeepTheirNegativeOrigins) {
  const std::vector<Monitor> monitors = {
      {{-1280, 0, 1280, 1024}, false}, {{0, 0, 1920, 1080}, true}, {{0, -900, 1600, 900}, false}};
  EXPECT_EQ(SaverScreens(monitors), (Screens{{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}, {0, -900, 1600, 900}}));
}

TEST(ScreenLayout, MirroredAndEmptyMonitorsGetNoScreenOfTheirOwn) {
  const std::vector<Monitor> monitors = {{{0, 0, 1920, 1080}, true},
                                         {{0, 0, 1920, 1080}, false},
                                         {{1920, 0, 0, 1080}, false},
                                         {{1920, 0, 1280, -5}, false},
                                         {{1920, 0, 1280, 1024}, false}};
  EXPECT_EQ(SaverScreens(monitors), (Screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}));
}

TEST(ScreenLayout, ScreensBecomePartsOfTheWindowThatCoversThem) {
  const Screens twoSideBySide = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
  EXPECT_EQ(ScreensInWindow(twoSideBySide, 0, 0, 1824, 768), twoSideBySide) << "the root window";
  // A virtual screen that starts left of the primary monitor.
  const Screens leftOfPrimary = {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}};
  EXPECT_EQ(ScreensInWindow(leftOfPrimary, -1280, 0, 3200, 1080), (Screens{{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}}));
  // Clipped to the window; a screen outside it is dropped.
  EXPECT_EQ(ScreensInWindow(twoSideBySide, 0, 0, 1200, 700), (Screens{{0, 0, 1024, 700}, {1024, 0, 176, 600}}));
  EXPECT_EQ(ScreensInWindow(twoSideBySide, 0, 0, 1000, 500), (Screens{{0, 0, 1000, 500}}));
}

TEST(ScreenLayout, AWindowNoMonitorTouchesIsOneScreen) {
  EXPECT_EQ(ScreensInWindow({}, 0, 0, 640, 480), (Screens{{0, 0, 640, 480}}));
  EXPECT_EQ(ScreensInWindow({{5000, 5000, 100, 100}}, 0, 0, 640, 480), (Screens{{0, 0, 640, 480}}));
  EXPECT_TRUE(ScreensInWindow({}, 0, 0, 0, 480).empty()) << "a window with no area has no screen";
  EXPECT_EQ(ScreensInWindow({{-2147483647 - 1, 0, 2147483647, 10}}, 2147483647, 0, 1, 1), (Screens{{0, 0, 1, 1}}))
      << "corners at the int limits do not overflow";
}

TEST(ScreenLayout, EachScreenHasItsOwnSeedAndTheFirstKeepsTheSaversSeed) {
  EXPECT_EQ(ScreenSeed(12345, 0), 12345u);
  std::set<std::uint32_t> seeds;
  for (std::size_t i = 0; i < 16; ++i) seeds.insert(ScreenSeed(12345, i));
  EXPECT_EQ(seeds.size(), 16u);
}

}  // namespace
}  // namespace kivo
