#include "host/input_rules.h"

namespace kivo {
namespace {

// |a - b| compared as a signed 16-bit value, as positions carry 16-bit
// coordinates.
bool FartherThanThree(std::int32_t saved, std::uint32_t now) {
  const std::int64_t diff = static_cast<std::int64_t>(saved) - static_cast<std::int64_t>(now);
  const auto distance = static_cast<std::uint32_t>(diff < 0 ? -diff : diff);
  return static_cast<std::int16_t>(distance & 0xFFFFu) > 3;
}

}  // namespace

InputAction InputRules::OnMouseMove(std::int32_t x, std::int32_t y) {
  if (preview_) return InputAction::kPassOn;
  ++moves_;
  if (moves_ <= kIgnoredMoves) return InputAction::kPassOn;
  const std::uint32_t x16 = static_cast<std::uint32_t>(x) & 0xFFFFu;
  const std::uint32_t y16 = static_cast<std::uint32_t>(y) & 0xFFFFu;
  if (FartherThanThree(savedX_, x16) && FartherThanThree(savedY_, y16)) return InputAction::kRequestClose;
  return InputAction::kPassOn;
}

}  // namespace kivo
