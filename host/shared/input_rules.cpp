#include "host/shared/input_rules.h"

namespace kivo {
namespace {

// A position travels as a signed 16-bit value: negative on a monitor left
// of or above the primary one.
std::int32_t Signed16(std::int32_t v) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v) & 0xFFFFu));
}

// |a - b| compared as a signed 16-bit value.
bool FartherThanThree(std::int32_t saved, std::int32_t now) {
  const std::int64_t diff = static_cast<std::int64_t>(saved) - static_cast<std::int64_t>(now);
  const auto distance = static_cast<std::uint32_t>(diff < 0 ? -diff : diff);
  return static_cast<std::int16_t>(distance & 0xFFFFu) > 3;
}

}  // namespace

InputAction InputRules::OnMouseMove(std::int32_t x, std::int32_t y) {
  if (preview_) return InputAction::kPassOn;
  ++moves_;
  if (moves_ <= kIgnoredMoves) return InputAction::kPassOn;
  if (FartherThanThree(savedX_, Signed16(x)) && FartherThanThree(savedY_, Signed16(y))) {
    return InputAction::kRequestClose;
  }
  return InputAction::kPassOn;
}

}  // namespace kivo
