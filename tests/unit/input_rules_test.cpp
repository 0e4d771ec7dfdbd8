#include "host/input_rules.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(InputRules, KeysAndButtonsCloseOutsidePreviewOnly) {
  EXPECT_EQ(InputRules(false).OnKeyOrButton(), InputAction::kRequestClose);
  EXPECT_EQ(InputRules(true).OnKeyOrButton(), InputAction::kPassOn);
}

TEST(InputRules, FirstSixMovesNeverClose) {
  InputRules rules(false);
  rules.SetSavedCursor(100, 100);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(rules.OnMouseMove(500, 500), InputAction::kPassOn) << i;
  EXPECT_EQ(rules.OnMouseMove(104, 104), InputAction::kRequestClose);
}

TEST(InputRules, OnlyADiagonalMoveOfMoreThanThreeCloses) {
  InputRules rules(false);
  rules.SetSavedCursor(100, 100);
  for (int i = 0; i < 6; ++i) rules.OnMouseMove(100, 100);
  EXPECT_EQ(rules.OnMouseMove(200, 100), InputAction::kPassOn) << "purely horizontal";
  EXPECT_EQ(rules.OnMouseMove(100, 900), InputAction::kPassOn) << "purely vertical";
  EXPECT_EQ(rules.OnMouseMove(103, 150), InputAction::kPassOn) << "3 across is not more than 3";
  EXPECT_EQ(rules.OnMouseMove(96, 96), InputAction::kRequestClose) << "up-left counts too";
  EXPECT_EQ(rules.OnMouseMove(104, 104), InputAction::kRequestClose);
}

TEST(InputRules, DistancesAreComparedAsSigned16Bit) {
  InputRules rules(false);
  rules.SetSavedCursor(0, 0);
  for (int i = 0; i < 6; ++i) rules.OnMouseMove(0, 0);
  // 40000 as a signed 16-bit value is negative, so it is not "more than 3".
  EXPECT_EQ(rules.OnMouseMove(40000, 10), InputAction::kPassOn);
  EXPECT_EQ(rules.OnMouseMove(30000, 10), InputAction::kRequestClose);
  // A pointer left of the screen arrives as 65535 - small.
  rules.SetSavedCursor(5, 5);
  EXPECT_EQ(rules.OnMouseMove(-2, 20), InputAction::kPassOn);
}

TEST(InputRules, RefusedCloseIgnoresTheNextSixMovesAgain) {
  InputRules rules(false);
  rules.SetSavedCursor(10, 10);
  for (int i = 0; i < 6; ++i) rules.OnMouseMove(10, 10);
  ASSERT_EQ(rules.OnMouseMove(50, 50), InputAction::kRequestClose);
  rules.OnCloseRefused();
  for (int i = 0; i < 6; ++i) EXPECT_EQ(rules.OnMouseMove(50, 50), InputAction::kPassOn) << i;
  EXPECT_EQ(rules.OnMouseMove(50, 50), InputAction::kRequestClose);
}

TEST(InputRules, PreviewIgnoresMovement) {
  InputRules rules(true);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(rules.OnMouseMove(400 + i, 400 + i), InputAction::kPassOn);
}

}  // namespace
}  // namespace kivo
