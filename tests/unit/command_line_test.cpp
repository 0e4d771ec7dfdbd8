#include "host/win32_logic/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kivo {
namespace {

constexpr std::intptr_t kForeground = 0x1F00D;

CommandLine Parse(const char* line) {
  return ParseCommandLine(line, [] { return kForeground; });
}

TEST(CommandLine, EachOfTheSixteenSwitchesSelectsItsMode) {
  const struct {
    const char* text;
    SaverMode mode;
  } switches[] = {{"-c", SaverMode::kConfigure},      {"-C", SaverMode::kConfigure},      {"/c", SaverMode::kConfigure},
                  {"/C", SaverMode::kConfigure},      {"-p", SaverMode::kPreview},        {"-P", SaverMode::kPreview},
                  {"/p", SaverMode::kPreview},        {"/P", SaverMode::kPreview},        {"-s", SaverMode::kRun},
                  {"-S", SaverMode::kRun},            {"/s", SaverMode::kRun},            {"/S", SaverMode::kRun},
                  {"-a", SaverMode::kChangePassword}, {"-A", SaverMode::kChangePassword}, {"/a", SaverMode::kChangePassword},
                  {"/A", SaverMode::kChangePassword}};
  for (const auto& s : switches) {
    const std::string line = std::string(s.text) + " 77";
    const CommandLine c = Parse(line.c_str());
    EXPECT_EQ(c.failed, 0) << line;
    EXPECT_EQ(c.mode, s.mode) << line;
    EXPECT_EQ(c.hostWindow, 77) << line;
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
  for (const Case& c : {Case{"/s /c", SaverMode::kConfigure, kForeground},
                        Case{"C:\\saver-config\\kivo.scr /s", SaverMode::kConfigure, kForeground},
                        Case{"/a /p 5", SaverMode::kPreview, 5},
                        Case{"xx/sxx", SaverMode::kRun, kForeground},
                        Case{"/P 12 /c 34", SaverMode::kConfigure, 34},
                        Case{"/p 3456", SaverMode::kPreview, 3456},
                        Case{"/p3456", SaverMode::kPreview, 3456},
                        Case{"/p \t\n\v\f\r 12x34", SaverMode::kPreview, 12},
                        Case{"/p -42", SaverMode::kPreview, -42},
                        Case{"/p +42", SaverMode::kPreview, 42},
                        Case{"/p+-42", SaverMode::kPreview, kForeground},
                        Case{"/S", SaverMode::kRun, kForeground},
                        Case{"/p 0", SaverMode::kPreview, kForeground},
                        Case{"-c:120", SaverMode::kConfigure, kForeground}}) {
    const CommandLine parsed = Parse(c.line);
    EXPECT_EQ(parsed.mode, c.mode) << c.line;
    EXPECT_EQ(parsed.hostWindow, c.host) << c.line;
  }
}

// A host may print a 32-bit handle signed or unsigned; both must name the
// same window, widened the way the system widens handles (sign extension),
// and numbers beyond any handle saturate instead of overflowing.
TEST(CommandLine, EveryPrintedFormOfA32BitHandleReachesTheWindow) {
  for (const std::int64_t handle : {1LL, 0x1F00DLL, 0x7FFFFFFFLL, 0x80000000LL, 0xC0DE0042LL, 0xFFFFFFFFLL}) {
    const auto bits = static_cast<std::uint32_t>(handle);
    const auto expected = static_cast<std::intptr_t>(static_cast<std::int32_t>(bits));
    for (const std::string& printed : {std::to_string(bits), std::to_string(static_cast<std::int32_t>(bits))}) {
      EXPECT_EQ(Parse(("/p " + printed).c_str()).hostWindow, expected) << printed;
    }
  }
  constexpr auto kMin = static_cast<std::intptr_t>(INT32_MIN);
  for (const auto& [text, host] : {std::pair<const char*, std::intptr_t>{"/p 4294967296", -1},
                                   {"/p 99999999999999999999", -1}, {"/p -2147483648", kMin}, {"/p -2147483649", kMin},
                                   {"/p -99999999999999999999", kMin}}) {
    EXPECT_EQ(Parse(text).hostWindow, host) << text;
  }
}

}  // namespace
}  // namespace kivo
