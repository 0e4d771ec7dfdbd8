#include "host/shared/input_rules.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

constexpr InputAction kPass = InputAction::kPassOn;
constexpr InputAction kClose = InputAction::kRequestClose;

TEST(InputRules, OnlyAMoveOfMoreThanThreeBothAcrossAndDownCloses) {
  struct Case {
    int savedX, savedY, x, y;
    InputAction action;
  };
  for (const Case& c : {Case{100, 100, 200, 100, kPass},     // purely horizontal
                        Case{100, 100, 100, 900, kPass},     // purely vertical
                        Case{100, 100, 103, 150, kPass},     // 3 across is not more than 3
                        Case{100, 100, 150, 97, kPass},      // nor 3 up
                        Case{100, 100, 104, 104, kClose},    // 4 right and 4 down
                        Case{100, 100, 96, 96, kClose},      // up and left count too
                        Case{500, 400, -100, 300, kClose},   // onto a monitor on the left
                        Case{500, 400, 700, -300, kClose},   // onto a monitor above
                        Case{-20, -10, -23, -13, kPass},     // both on a monitor left of the primary
                        Case{-20, -10, -24, -14, kClose},
                        Case{0, 0, 30000, 10, kClose},
                        Case{0, 0, 65536 + 10, 10, kClose},  // positions are 16-bit: only the low bits count
                        Case{0, 0, 5 - 65536, 10, kClose},
                        Case{-30000, 0, 30000, 10, kPass}}) {  // 60000 apart wraps negative as 16 bits
    InputRules rules(false);
    rules.SetSavedCursor(c.savedX, c.savedY);
    // The first six moves never close, however far they go.
    for (int i = 0; i < 6; ++i) ASSERT_EQ(rules.OnMouseMove(5000 + i, -5000), kPass) << "move " << i + 1;
    EXPECT_EQ(rules.OnMouseMove(c.x, c.y), c.action) << c.savedX << "," << c.savedY << " to " << c.x << "," << c.y;
  }
}

}  // namespace
}  // namespace kivo
