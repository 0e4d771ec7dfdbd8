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
  EXPECT_EQ(rules.OnMouseMove(30000, 10), InputAction::kRequestClose);
  EXPECT_EQ(rules.OnMouseMove(65536 + 10, 10), InputAction::kRequestClose) << "only the low 16 bits count";
  // A distance beyond 32767 wraps negative, so it is not "more than 3".
  rules.SetSavedCursor(-30000, 0);
  EXPECT_EQ(rules.OnMouseMove(30000, 10), InputAction::kPassOn);
}

// Monitors left of or above the primary one have negative coordinates; a
// move there is judged like any other.
TEST(InputRules, MovesOnMonitorsLeftOfOrAboveThePrimaryCount) {
  InputRules rules(false);
  rules.SetSavedCursor(500, 400);
  for (int i = 0; i < 6; ++i) rules.OnMouseMove(500, 400);
  EXPECT_EQ(rules.OnMouseMove(-100, 300), InputAction::kRequestClose) << "onto a monitor on the left";
  EXPECT_EQ(rules.OnMouseMove(700, -300), InputAction::kRequestClose) << "onto a monitor above";
  rules.SetSavedCursor(-20, -10);
  EXPECT_EQ(rules.OnMouseMove(-23, -13), InputAction::kPassOn) << "3 pixels is not more than 3";
  EXPECT_EQ(rules.OnMouseMove(-24, -14), InputAction::kRequestClose);
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
