#include "host/command_line.h"

#include <cstring>

namespace kivo {

const SwitchRow kSwitchTable[16] = {
    {"-c", SaverMode::kConfigure},      {"-C", SaverMode::kConfigure},
    {"/c", SaverMode::kConfigure},      {"/C", SaverMode::kConfigure},
    {"-p", SaverMode::kPreview},        {"-P", SaverMode::kPreview},
    {"/p", SaverMode::kPreview},        {"/P", SaverMode::kPreview},
    {"-s", SaverMode::kRun},            {"-S", SaverMode::kRun},
    {"/s", SaverMode::kRun},            {"/S", SaverMode::kRun},
    {"-a", SaverMode::kChangePassword}, {"-A", SaverMode::kChangePassword},
    {"/a", SaverMode::kChangePassword}, {"/A", SaverMode::kChangePassword},
};

std::int32_t ParseLeadingNumber(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t value = 0;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;  // saturate like strtol, keep reading digits
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

CommandLine ParseCommandLine(const char* line, const std::function<std::intptr_t()>& foregroundWindow) {
  CommandLine result;
  if (line == nullptr || *line == '\0') return result;
  for (const SwitchRow& row : kSwitchTable) {
    const char* match = std::strstr(line, row.text);
    if (match == nullptr) continue;
    result.mode = row.mode;
    // Handles are 32-bit values; sign extension matches how the system widens them.
    result.hostWindow = ParseLeadingNumber(match + 2);
    if (result.hostWindow == 0) result.hostWindow = foregroundWindow();
    return result;
  }
  result.failed = 1;
  return result;
}

}  // namespace kivo
