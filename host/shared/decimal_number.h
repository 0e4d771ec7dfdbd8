// Strict decimal numbers for command lines.
#pragma once

#include <cstdint>
#include <string>

namespace kivo {

// A whole decimal number (optional sign, digits only) within [min, max].
bool ParseInteger(const std::string& text, std::int64_t min, std::int64_t max, std::int64_t* value);

}  // namespace kivo
