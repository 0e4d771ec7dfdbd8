#include "host/input_rules.h"

#include <gtest/gtest.h>

#include <vector>

namespace kivo {
namespace {

constexpr InputAction kPass = InputAction::kPassOn;
constexpr InputAction kClose = InputAction::kRequestClose;

// Six moves that cannot end the saver, however far they go.
void IgnoredMoves(InputRules& rules) {
  for (int i = 0; i < 6; ++i) ASSERT_EQ(rules.OnMouseMove(5000 + i, -5000), kPass) << "move " << i + 1;
}

TEST(InputRules, KeysAndTheLeftAndRightButtonsCloseOutsidePreviewOnly) {
  for (bool preview : {false, true}) {
    const InputRules rules(preview);
    const InputAction expected = preview ? kPass : kClose;
    EXPECT_EQ(rules.OnKey(), expected);
    EXPECT_EQ(rules.OnButton(PointerButton::kLeft), expected);
    EXPECT_EQ(rules.OnButton(PointerButton::kRight), expected);
    EXPECT_EQ(rules.OnButton(PointerButton::kOther), kPass) << "the middle button and the wheel";
  }
  InputRules preview(true);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(preview.OnMouseMove(400 + 9 * i, 400 + 9 * i), kPass);
}

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
    IgnoredMoves(rules);
    EXPECT_EQ(rules.OnMouseMove(c.x, c.y), c.action) << c.savedX << "," << c.savedY << " to " << c.x << "," << c.y;
  }
}

TEST(InputRules, TheFirstSixMovesAndSixMoreAfterARefusedCloseAreIgnored) {
  InputRules rules(false);
  rules.SetSavedCursor(10, 10);
  IgnoredMoves(rules);
  ASSERT_EQ(rules.OnMouseMove(50, 50), kClose) << "the seventh move counts";
  rules.OnCloseRefused();
  EXPECT_EQ(rules.SavedX() * 100 + rules.SavedY(), 1010) << "the saved position stays";
  IgnoredMoves(rules);
  EXPECT_EQ(rules.OnMouseMove(50, 50), kClose);
  std::vector<InputAction> many;
  for (int i = 0; i < 70000; ++i) many.push_back(rules.OnMouseMove(50, 50));
  EXPECT_EQ(many[65528], kPass) << "the 16-bit move count wraps to 0 after 65535 moves";
  EXPECT_EQ(many[65535], kClose);
}

}  // namespace
}  // namespace kivo
