// Which mode the screen-saver host asked for, read from the command line.
#pragma once

#include <cstdint>
#include <functional>

namespace kivo {

enum class SaverMode : std::int16_t { kConfigure = 0, kPreview = 1, kRun = 2, kChangePassword = 3 };

struct SwitchRow {
  const char* text;
  SaverMode mode;
};

// Searched in order; the first row whose text occurs anywhere in the line
// wins, so the configure rows beat the others.
extern const SwitchRow kSwitchTable[16];

struct CommandLine {
  int failed = 0;                          // 1: a non-empty line with no switch
  SaverMode mode = SaverMode::kConfigure;  // unchanged when failed
  std::intptr_t hostWindow = 0;            // window handle as a number
};

// `line` is the text after the program name. A missing or zero number after
// the switch means the window in the foreground now, asked of the caller.
CommandLine ParseCommandLine(const char* line, const std::function<std::intptr_t()>& foregroundWindow);

// A window handle as hosts print it, read by the C library's atol rules
// (leading white space, optional sign, digits up to the first non-digit; none
// gives 0). Handles are 32-bit values that hosts print signed or unsigned, so
// every number from -2147483648 to 4294967295 names the handle with those 32
// bits, widened by sign extension as the system widens handles; numbers
// beyond that range saturate at its ends instead of overflowing.
std::intptr_t ParseWindowHandle(const char* text);

}  // namespace kivo
