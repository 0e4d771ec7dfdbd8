// The input that ends the saver: any key or the left or right button, or,
// after the first six pointer moves, a move of more than 3 pixels both across
// and down from where the pointer was when the saver started. A preview never
// ends by input.
#pragma once

#include <cstdint>

namespace kivo {

enum class InputAction { kPassOn, kRequestClose };

// Buttons as every platform names them for the rules; the middle button and
// the wheel's steps are kOther.
enum class PointerButton { kLeft, kRight, kOther };

// A window system's button number as the rules see it, given its numbers
// for the left and right buttons.
inline PointerButton ClassifyButton(unsigned button, unsigned left, unsigned right) {
  return button == left ? PointerButton::kLeft : button == right ? PointerButton::kRight : PointerButton::kOther;
}

class InputRules {
 public:
  static constexpr std::uint16_t kIgnoredMoves = 6;

  explicit InputRules(bool preview) : preview_(preview) {}

  void SetSavedCursor(std::int32_t x, std::int32_t y) {
    savedX_ = x;
    savedY_ = y;
  }
  std::int32_t SavedX() const { return savedX_; }
  std::int32_t SavedY() const { return savedY_; }

  InputAction OnKey() const { return preview_ ? InputAction::kPassOn : InputAction::kRequestClose; }
  InputAction OnButton(PointerButton button) const { return button == PointerButton::kOther ? InputAction::kPassOn : OnKey(); }

  // The pointer's position in screen coordinates. Positions travel as signed
  // 16-bit values (negative left of or above the primary monitor), so only
  // the low 16 bits of each count, and distances wrap as signed 16-bit
  // numbers, whatever the platform reports.
  InputAction OnMouseMove(std::int32_t x, std::int32_t y);

  // A refused close starts the count of ignored moves again.
  void OnCloseRefused() { moves_ = 0; }

 private:
  bool preview_;
  std::uint16_t moves_ = 0;
  std::int32_t savedX_ = 0;
  std::int32_t savedY_ = 0;
};

}  // namespace kivo
