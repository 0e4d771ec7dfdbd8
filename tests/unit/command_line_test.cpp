#include "host/win32_logic/command_line.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>

namespace kivo {
namespace {

constexpr std::intptr_t kForeground = 0x1F00D;

CommandLine Parse(const char* line) {
  return ParseCommandLine(line, [] { return kForeground; });
}

TEST(CommandLine, EachOfTheSixteenSwitchesSelectsItsMode) {
  using M = SaverMode;
  const std::pair<char, M> letters[] = {
      {'c', M::kConfigure}, {'p', M::kPreview}, {'s', M::kRun}, {'a', M::kChangePassword}};
  for (const auto& [letter, mode] : letters) {
    for (const char* form : {"-x 77", "-X 77", "/x 77", "/X 77"}) {
      std::string line = form;
      line[1] = line[1] == 'X' ? static_cast<char>(std::toupper(letter)) : letter;
      const CommandLine c = Parse(line.c_str());
      EXPECT_EQ(c.failed, 0) << line;
      EXPECT_EQ(c.mode, mode) << line;
      EXPECT_EQ(c.hostWindow, 77) << line;
    }
  }
  for (const char* line : {"/x", "hello", " ", "/", "-", "\xE3\x81\x82/q", "sc", "c-", "-x /z"}) {
    EXPECT_EQ(Parse(line).failed, 1) << line;
  }
  bool asked = false;
  const CommandLine empty = ParseCommandLine("", [&asked] { return asked = true, kForeground; });
  EXPECT_EQ(empty.failed, 0);
  EXPECT_EQ(empty.mode, SaverMode::kConfigure);
  EXPECT_EQ(empty.hostWindow, 0) << "an empty line configures without asking for the foreground window";
  EXPECT_FALSE(asked);
  EXPECT_EQ(Parse(nullptr).mode, SaverMode::kConfigure);
}

TEST(CommandLine, TheFirstRowFoundAnywhereWinsAndItsNumberFollowsByAtolRules) {
  struct Case {
    const char* line;
    SaverMode mode;
    std::intptr_t host;
  };
  using M = SaverMode;
  const Case cases[] = {
      {"/s /c", M::kConfigure, kForeground},  {"C:\\saver-config\\kivo.scr /s", M::kConfigure, kForeground},
      {"/a /p 5", M::kPreview, 5},            {"xx/sxx", M::kRun, kForeground},
      {"/P 12 /c 34", M::kConfigure, 34},     {"/p 3456", M::kPreview, 3456},
      {"/p3456", M::kPreview, 3456},          {"/p \t\n\v\f\r 12x34", M::kPreview, 12},
      {"/p -42", M::kPreview, -42},           {"/p +42", M::kPreview, 42},
      {"/p+-42", M::kPreview, kForeground},   {"/S", M::kRun, kForeground},
      {"/p 0", M::kPreview, kForeground},     {"-c:120", M::kConfigure, kForeground},
      // numbers beyond any handle saturate instead of overflowing
      {"/p 4294967296", M::kPreview, -1},     {"/p 99999999999999999999", M::kPreview, -1},
      {"/p -2147483648", M::kPreview, INT32_MIN}, {"/p -2147483649", M::kPreview, INT32_MIN},
      {"/p -99999999999999999999", M::kPreview, INT32_MIN},
      // a host may print a 32-bit handle unsigned: widened as the system widens handles (sign extension)
      {"/p 4294967295", M::kPreview, -1}, {"/p 3235774530", M::kPreview, INT32_C(-1059192766)}};
  for (const Case& c : cases) {
    const CommandLine parsed = Parse(c.line);
    EXPECT_EQ(parsed.mode, c.mode) << c.line;
    EXPECT_EQ(parsed.hostWindow, c.host) << c.line;
  }
}

}  // namespace
}  // namespace kivo
