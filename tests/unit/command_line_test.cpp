#include "host/command_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kivo {
namespace {

constexpr std::intptr_t kForeground = 0x1F00D;

CommandLine Parse(const char* line) {
  return ParseCommandLine(line, [] { return kForeground; });
}

TEST(CommandLine, EmptyLineConfiguresWithoutAskingForTheForegroundWindow) {
  bool asked = false;
  const CommandLine c = ParseCommandLine("", [&asked] {
    asked = true;
    return kForeground;
  });
  EXPECT_EQ(c.failed, 0);
  EXPECT_EQ(c.mode, SaverMode::kConfigure);
  EXPECT_EQ(c.hostWindow, 0);
  EXPECT_FALSE(asked);
  EXPECT_EQ(ParseCommandLine(nullptr, [] { return kForeground; }).mode, SaverMode::kConfigure);
}

TEST(CommandLine, EverySwitchSelectsItsMode) {
  for (const SwitchRow& row : kSwitchTable) {
    const std::string line = std::string(row.text) + " 77";
    const CommandLine c = Parse(line.c_str());
    EXPECT_EQ(c.failed, 0) << line;
    EXPECT_EQ(c.mode, row.mode) << line;
    EXPECT_EQ(c.hostWindow, 77) << line;
  }
}

TEST(CommandLine, NumberRulesFollowAtol) {
  EXPECT_EQ(Parse("/p 3456").hostWindow, 3456);
  EXPECT_EQ(Parse("/p3456").hostWindow, 3456);
  EXPECT_EQ(Parse("/p \t 12x34").hostWindow, 12);
  EXPECT_EQ(Parse("/p -42").hostWindow, -42);
  EXPECT_EQ(Parse("/p +42").hostWindow, 42);
  EXPECT_EQ(Parse("/S").hostWindow, kForeground) << "no number: the foreground window owns the saver";
  EXPECT_EQ(Parse("/p 0").hostWindow, kForeground);
  EXPECT_EQ(Parse("-c:120").hostWindow, kForeground) << "the colon stops the number";
  EXPECT_EQ(Parse("-c:120").mode, SaverMode::kConfigure);
}

// A host may print a 32-bit handle signed or unsigned; both must name the
// same window, widened the way the system widens handles (sign extension).
TEST(CommandLine, EveryPrintedFormOfA32BitHandleReachesTheWindow) {
  const std::int64_t handles[] = {1, 0x1F00D, 0x7FFFFFFF, 0x80000000, 0x80000001, 0xC0DE0042, 0xFFFFFFFE, 0xFFFFFFFF};
  for (const std::int64_t handle : handles) {
    const auto bits = static_cast<std::uint32_t>(handle);
    const auto expected = static_cast<std::intptr_t>(static_cast<std::int32_t>(bits));
    const std::string asUnsigned = "/p " + std::to_string(bits);
    const std::string asSigned = "/p " + std::to_string(static_cast<std::int32_t>(bits));
    EXPECT_EQ(Parse(asUnsigned.c_str()).hostWindow, expected) << asUnsigned;
    EXPECT_EQ(Parse(asSigned.c_str()).hostWindow, expected) << asSigned;
    EXPECT_EQ(static_cast<std::uint32_t>(Parse(asUnsigned.c_str()).hostWindow), bits) << "the low 32 bits are kept";
  }
  EXPECT_EQ(Parse("/a 4294967295").hostWindow, -1);
  EXPECT_EQ(Parse("/p -2147483648").hostWindow, static_cast<std::intptr_t>(INT32_MIN));
}

TEST(CommandLine, NumbersBeyondAnyHandleSaturateInsteadOfOverflowing) {
  EXPECT_EQ(Parse("/p 4294967296").hostWindow, -1) << "the largest unsigned handle";
  EXPECT_EQ(Parse("/p 99999999999999999999").hostWindow, -1);
  EXPECT_EQ(Parse("/p -2147483649").hostWindow, static_cast<std::intptr_t>(INT32_MIN)) << "the smallest signed one";
  EXPECT_EQ(Parse("/p -99999999999999999999").hostWindow, static_cast<std::intptr_t>(INT32_MIN));
}

TEST(CommandLine, FirstTableRowFoundAnywhereWins) {
  EXPECT_EQ(Parse("/s /c").mode, SaverMode::kConfigure);
  EXPECT_EQ(Parse("C:\\saver-config\\kivo.scr /s").mode, SaverMode::kConfigure) << "-c inside a path";
  EXPECT_EQ(Parse("/a /p 5").mode, SaverMode::kPreview);
  const CommandLine inWord = Parse("xx/sxx");
  EXPECT_EQ(inWord.mode, SaverMode::kRun);
  EXPECT_EQ(inWord.hostWindow, kForeground);
  EXPECT_EQ(Parse("/P 12 /c 34").hostWindow, 34) << "the number follows the winning row's match";
}

TEST(CommandLine, NoSwitchFails) {
  for (const char* line : {"/x", "hello", " ", "/", "-", "\xE3\x81\x82/q", "sc", "c-"}) {
    const CommandLine c = Parse(line);
    EXPECT_EQ(c.failed, 1) << line;
  }
}

}  // namespace
}  // namespace kivo
