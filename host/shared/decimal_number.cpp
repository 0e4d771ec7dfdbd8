#include "host/shared/decimal_number.h"

#include <cctype>
#include <limits>

namespace kivo {

bool ParseInteger(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t* value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  // Accumulate as a negative number so that the most negative value fits.
  std::int64_t acc = 0;
  const std::int64_t floor = std::numeric_limits<std::int64_t>::min();
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isdigit(c)) return false;
    const int digit = c - '0';
    if (acc < (floor + digit) / 10) return false;
    acc = acc * 10 - digit;
  }
  if (!negative) {
    if (acc == floor) return false;
    acc = -acc;
  }
  if (acc < min || acc > max) return false;
  *value = acc;
  return true;
}

}  // namespace kivo
