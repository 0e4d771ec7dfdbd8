#include "host/program_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/decimal_number.h"

namespace kivo {
namespace {

ParsedOptions Parse(const std::vector<std::string>& args, DashStyle dashes) {
  return ParseOptions(args, {OptionId::kHelp, OptionId::kCount, OptionId::kSeed, OptionId::kRoot, OptionId::kOut},
                      dashes);
}

TEST(ProgramOptions, HitsComeBackInCommandLineOrderWithCheckedValues) {
  const ParsedOptions p = Parse({"--count", "-5", "--root", "--seed", "4294967295", "--out", "", "--root"},
                                DashStyle::kDoubleOnly);
  ASSERT_TRUE(p.ok) << p.error;
  ASSERT_EQ(p.hits.size(), 5u);
  EXPECT_EQ(p.hits[0].id, OptionId::kCount);
  EXPECT_EQ(p.hits[0].number, -5);
  EXPECT_EQ(p.hits[1].id, OptionId::kRoot);
  EXPECT_EQ(p.hits[2].number, 4294967295);
  EXPECT_EQ(p.hits[3].id, OptionId::kOut);
  EXPECT_EQ(p.hits[3].text, "") << "texts are the program's to judge";
  EXPECT_EQ(p.hits[4].id, OptionId::kRoot);
}

TEST(ProgramOptions, DashStylesDecideWhatASingleDashMeans) {
  EXPECT_TRUE(Parse({"-root", "-count", "3000"}, DashStyle::kSingleOrDouble).ok);
  EXPECT_TRUE(Parse({"--root", "--count", "3000"}, DashStyle::kSingleOrDouble).ok);
  const ParsedOptions single = Parse({"-root"}, DashStyle::kDoubleOnly);
  EXPECT_FALSE(single.ok);
  EXPECT_EQ(single.error, "unknown option '-root'");
  for (const char* bad : {"-", "--", "---root", "root", "--ro"}) {
    EXPECT_FALSE(Parse({bad}, DashStyle::kSingleOrDouble).ok) << bad;
  }
}

TEST(ProgramOptions, HelpEndsTheLineAndMinusHAlwaysAsksForIt) {
  for (const char* help : {"-h", "--help"}) {
    const ParsedOptions p = Parse({"--root", help, "--bogus"}, DashStyle::kDoubleOnly);
    ASSERT_TRUE(p.ok) << help;
    EXPECT_EQ(p.hits.back().id, OptionId::kHelp) << help;
  }
  EXPECT_TRUE(Parse({"-help"}, DashStyle::kSingleOrDouble).ok);
  EXPECT_TRUE(Parse({"--h"}, DashStyle::kSingleOrDouble).ok);
  EXPECT_FALSE(Parse({"--h"}, DashStyle::kDoubleOnly).ok);
  EXPECT_FALSE(Parse({"--bogus", "-h"}, DashStyle::kDoubleOnly).ok) << "what comes before help is still read";
}

TEST(ProgramOptions, VersionEndsTheLineLikeHelp) {
  const ParsedOptions p = ParseOptions({"--version", "--bogus"}, {OptionId::kVersion}, DashStyle::kDoubleOnly);
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.hits.back().id, OptionId::kVersion);
  EXPECT_TRUE(ParseOptions({"-version"}, {OptionId::kVersion}, DashStyle::kSingleOrDouble).ok);
  EXPECT_FALSE(ParseOptions({"--version"}, {OptionId::kHelp}, DashStyle::kDoubleOnly).ok) << "only where accepted";
}

TEST(ProgramOptions, RefusalsNameTheOptionAndTheValue) {
  EXPECT_EQ(Parse({"--seed", "-1"}, DashStyle::kDoubleOnly).error,
            "--seed must be a whole number from 0 to 4294967295, not '-1'");
  EXPECT_EQ(Parse({"-count", "ten"}, DashStyle::kSingleOrDouble).error,
            "--count must be a whole number (32-bit), not 'ten'");
  EXPECT_EQ(Parse({"--count", "2147483648"}, DashStyle::kDoubleOnly).error,
            "--count must be a whole number (32-bit), not '2147483648'");
  EXPECT_EQ(Parse({"--out"}, DashStyle::kDoubleOnly).error, "option --out needs a value");
  EXPECT_EQ(Parse({"--width", "5"}, DashStyle::kDoubleOnly).error, "unknown option '--width'")
      << "options a program does not take are unknown to it";
  const ParsedOptions refused = Parse({"--root", "--seed", "x"}, DashStyle::kDoubleOnly);
  EXPECT_TRUE(refused.hits.empty());
}

TEST(ProgramOptions, IntegerParsingAtTheLimits) {
  std::int64_t v = 0;
  EXPECT_TRUE(ParseInteger("-9223372036854775808", INT64_MIN, INT64_MAX, &v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_TRUE(ParseInteger("9223372036854775807", INT64_MIN, INT64_MAX, &v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_FALSE(ParseInteger("9223372036854775808", INT64_MIN, INT64_MAX, &v));
  EXPECT_FALSE(ParseInteger("-9223372036854775809", INT64_MIN, INT64_MAX, &v));
  EXPECT_TRUE(ParseInteger("+17", 0, 20, &v));
  EXPECT_EQ(v, 17);
  EXPECT_FALSE(ParseInteger(" 17", 0, 20, &v));
  EXPECT_FALSE(ParseInteger("21", 0, 20, &v));
}

}  // namespace
}  // namespace kivo
