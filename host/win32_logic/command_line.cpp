#include "host/win32_logic/command_line.h"

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

std::intptr_t ParseWindowHandle(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t value = 0;
  const std::int64_t limit = negative ? 2147483648LL : 4294967295LL;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) value = limit;  // saturate, keep reading digits
  }
  // The low 32 bits are the handle; both printed forms give the same bits.
  const auto bits = static_cast<std::uint32_t>(negative ? -value : value);
  return static_cast<std::intptr_t>(static_cast<std::int32_t>(bits));
}

CommandLine ParseCommandLine(const char* line, const std::function<std::intptr_t()>& foregroundWindow) {
  CommandLine result;
  if (line == nullptr || *line == '\0') return result;
  for (const SwitchRow& row : kSwitchTable) {
    const char* match = std::strstr(line, row.text);
    if (match == nullptr) continue;
    result.mode = row.mode;
    result.hostWindow = ParseWindowHandle(match + 2);
    if (result.hostWindow == 0) result.hostWindow = foregroundWindow();
    return result;
  }
  result.failed = 1;
  return result;
}

}  // namespace kivo
