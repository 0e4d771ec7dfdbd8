#include "host/command_line.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(Parse("/p 99999999999999999999").hostWindow, 2147483647) << "saturates, never overflows";
  EXPECT_EQ(Parse("/p -99999999999999999999").hostWindow, -2147483647 - 1);
  EXPECT_EQ(Parse("/p 4294967295").hostWindow, 2147483647);
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
