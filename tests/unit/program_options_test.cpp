#include "host/shared/program_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/shared/decimal_number.h"

namespace kivo {
namespace {

ParsedOptions Parse(const std::vector<std::string>& args, DashStyle dashes = DashStyle::kDoubleOnly) {
  return ParseOptions(args, {OptionId::kHelp, OptionId::kVersion, OptionId::kCount, OptionId::kSeed, OptionId::kRoot,
                             OptionId::kOut},
                      dashes);
}

TEST(ProgramOptions, DashesHelpAndVersion) {
  EXPECT_TRUE(Parse({"-root", "-count", "3000"}, DashStyle::kSingleOrDouble).ok);
  EXPECT_TRUE(Parse({"--root", "--count", "3000"}, DashStyle::kSingleOrDouble).ok);
  EXPECT_EQ(Parse({"-root"}).error, "unknown option '-root'");
  for (const char* bad : {"-", "--", "---root", "root", "--ro", "-r"}) {
    EXPECT_FALSE(Parse({bad}, DashStyle::kSingleOrDouble).ok) << bad;
  }
  // Help and version end the line; what comes after them is not read.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--root", "-h", "--bogus"}, {"--help", "--bogus"}, {"--version", "--bogus"}}) {
    const ParsedOptions p = Parse(args);
    ASSERT_TRUE(p.ok) << args[1];
    EXPECT_EQ(p.hits.back().id, args[0] == "--version" ? OptionId::kVersion : OptionId::kHelp) << args[0];
  }
  for (const char* help : {"-help", "-version", "--h"}) EXPECT_TRUE(Parse({help}, DashStyle::kSingleOrDouble).ok) << help;
  EXPECT_FALSE(Parse({"--h"}).ok);
  EXPECT_FALSE(Parse({"--bogus", "-h"}).ok) << "what comes before help is still read";
  EXPECT_FALSE(ParseOptions({"--version"}, {OptionId::kHelp}, DashStyle::kDoubleOnly).ok) << "only where accepted";
}

TEST(ProgramOptions, WholeNumbersAtTheLimits) {
  std::int64_t v = 0;
  EXPECT_TRUE(ParseInteger("+20", 0, 20, &v));
  EXPECT_EQ(v, 20);
  v = 99;
  for (const char* bad : {"9223372036854775808", "-9223372036854775809", " 17", "17 ", "", "+", "-", "1e3", "0x10"}) {
    EXPECT_FALSE(ParseInteger(bad, INT64_MIN, INT64_MAX, &v)) << bad;
  }
  for (const char* outside : {"21", "-1"}) EXPECT_FALSE(ParseInteger(outside, 0, 20, &v)) << outside;
  EXPECT_EQ(v, 99) << "a refused number leaves the value alone";
}

}  // namespace
}  // namespace kivo
