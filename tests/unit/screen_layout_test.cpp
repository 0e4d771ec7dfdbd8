#include "host/shared/screen_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace kivo {

void PrintTo(const ScreenRect& r, std::ostream* os) { *os << r.width << "x" << r.height << "+" << r.x << "+" << r.y; }

namespace {

using Screens = std::vector<ScreenRect>;

TEST(ScreenLayout, ThePrimaryMonitorLeadsAndEveryOtherMonitorWithAnAreaFollows) {
  struct Case {
    const char* what;
    std::vector<Monitor> monitors;
    Screens screens;
  };
  const Case cases[] = {
      {"one monitor", {{{0, 0, 1920, 1080}, true}}, {{0, 0, 1920, 1080}}},
      {"no primary flag", {{{0, 0, 1024, 768}, false}, {{1024, 0, 800, 600}, false}},
       {{0, 0, 1024, 768}, {1024, 0, 800, 600}}},
      {"primary listed second", {{{1024, 0, 800, 600}, false}, {{0, 0, 1024, 768}, true}},
       {{0, 0, 1024, 768}, {1024, 0, 800, 600}}},
      {"left of and above", {{{-1280, 0, 1280, 1024}, false}, {{0, 0, 1920, 1080}, true}, {{0, -900, 1600, 900}, false}},
       {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}, {0, -900, 1600, 900}}},
      {"mirrored and empty",
       {{{0, 0, 1920, 1080}, true}, {{0, 0, 1920, 1080}, false}, {{1920, 0, 0, 1080}, false}, {{1920, 0, 1280, 0}, false},
        {{1920, 0, 1280, -5}, false}, {{1920, 0, 1280, 1024}, false}},
       {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}},
      {"nothing", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SaverScreens(c.monitors), c.screens) << c.what;
}

TEST(ScreenLayout, ScreensBecomeClippedPartsOfTheWindowThatCoversThem) {
  const Screens two = {{0, 0, 1024, 768}, {1024, 0, 800, 600}};
  struct Case {
    const char* what;
    Screens screens;
    int x, y, width, height;
    Screens parts;
  };
  const Case cases[] = {
      {"the root window", two, 0, 0, 1824, 768, two},
      {"starting left of the primary", {{0, 0, 1920, 1080}, {-1280, 0, 1280, 1024}}, -1280, 0, 3200, 1080,
       {{1280, 0, 1920, 1080}, {0, 0, 1280, 1024}}},
      {"clipped", two, 0, 0, 1200, 700, {{0, 0, 1024, 700}, {1024, 0, 176, 600}}},
      {"one outside", two, 0, 0, 1000, 500, {{0, 0, 1000, 500}}},
      {"touching the right edge only", {{1000, 0, 100, 100}}, 0, 0, 1000, 500, {{0, 0, 1000, 500}}},
      {"touching the bottom edge only", {{0, 500, 100, 100}}, 0, 0, 1000, 500, {{0, 0, 1000, 500}}},
      {"no monitor", {}, 0, 0, 640, 480, {{0, 0, 640, 480}}},
      {"far away", {{5000, 5000, 100, 100}}, 0, 0, 640, 480, {{0, 0, 640, 480}}},
      {"a window with no width", {}, 0, 0, 0, 480, {}},
      {"a window with no height", {}, 0, 0, 640, 0, {}},
      {"int limits", {{-2147483647 - 1, 0, 2147483647, 10}}, 2147483647, 0, 1, 1, {{0, 0, 1, 1}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ScreensInWindow(c.screens, c.x, c.y, c.width, c.height), c.parts) << c.what;
}

}  // namespace
}  // namespace kivo
