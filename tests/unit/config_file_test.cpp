#include "host/posix/kivo_config.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kivo {
namespace {

// A folder of its own for each test, with files written into it, and an
// environment that holds only what a case sets.
class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/kivo-config-test-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
  }
  void TearDown() override { ASSERT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0); }

  // Writes `text` to DIR/path (its folders made) and returns the full path.
  std::string Write(const std::string& path, const std::string& text) {
    const std::string full = dir_ + "/" + path;
    for (std::size_t slash = full.find('/', dir_.size() + 1); slash != std::string::npos;
         slash = full.find('/', slash + 1)) {
      mkdir(full.substr(0, slash).c_str(), 0700);
    }
    std::ofstream(full) << text;
    return full;
  }
  Environment Env() const {
    return [this](const char* name) -> const char* {
      const auto it = env_.find(name);
      return it == env_.end() ? nullptr : it->second.c_str();
    };
  }
  KivoSetup Read(const std::string& text, std::vector<std::string> args) {
    env_["XDG_CONFIG_HOME"] = dir_;
    Write("kivo/config", text);
    return ReadKivoSetup(args, Env());
  }

  std::string dir_;
  std::map<std::string, std::string> env_;
};

// Command line over file over defaults; comments, blanks and spaces. The saver's grace, from a file, is
// the saver's alone; asked for with another mode on the command line, it is refused.
TEST_F(ConfigFile, TheCommandLineWinsOverTheFileWhichWinsOverTheDefaults) {
  struct Case {
    const char* text;
    std::vector<std::string> args;
    std::int32_t count;  // 0: refused
    std::int64_t seed;   // -1: none given
    int width;
    std::int64_t lockAfter;
  };
  const Case cases[] = {
      {"", {}, 10000, -1, 800, -1},
      {"count=3000\n", {}, 3000, -1, 800, -1},
      {"# a comment\n\n  count = 3000  \r\nseed=7\ngeometry=640x480", {}, 3000, 7, 640, -1},
      {"count=3000\ncount=4000\n", {}, 4000, -1, 800, -1},
      {"count=3000\nseed=7\n", {"--count", "5000"}, 5000, 7, 800, -1},
      {"seed=7\n", {"-seed", "9", "-geometry", "10x10"}, 10000, 9, 10, -1},
      {"count=3000\n", {"--no-config"}, 10000, -1, 800, -1},
      {"lock-after=10\n", {"-fullscreen"}, 10000, -1, 800, 10},
      {"lock-after=10\n", {"-fullscreen", "--lock-after", "0"}, 10000, -1, 800, 0},
      {"lock-after=10\n", {"-lock"}, 10000, -1, 800, -1},
      {"lock-after=10\n", {"-window"}, 10000, -1, 800, -1},
      {"", {"-window", "--lock-after", "10"}, 0, -1, 800, -1},
      {"", {"-fullscreen", "--lock-after", "3601"}, 0, -1, 800, -1},
  };
  for (const Case& c : cases) {
    const KivoSetup s = Read(c.text, c.args);
    const std::string what = c.text + (c.args.empty() ? "" : " " + c.args.back());
    ASSERT_EQ(s.parsed.ok, c.count != 0) << what << ": " << s.parsed.error;
    if (!s.parsed.ok) continue;
    EXPECT_EQ(s.parsed.options.count, c.count) << what;
    EXPECT_EQ(s.parsed.options.seedGiven ? std::int64_t{s.parsed.options.seed} : -1, c.seed) << what;
    EXPECT_EQ(s.parsed.options.width, c.width) << what;
    EXPECT_EQ(s.parsed.options.lockAfter, c.lockAfter) << what;
  }
  const std::string other = Write("other", "count=2500\n");
  EXPECT_EQ(Read("count=3000\n", {"--config", other}).parsed.options.count, 2500) << "--config reads another";
}

// Each bad line ends the reading with its file and number; under -lock it is
// skipped and the good lines still count.
TEST_F(ConfigFile, ABadLineNamesItsFileAndNumberAndLockGoesOnWithout) {
  const struct {
    const char* line;
    const char* why;
  } cases[] = {
      {"bogus=1", "unknown name 'bogus'"},
      {"count=ten", "count must be a whole number (32-bit), not 'ten'"},
      {"count=30001", "count must be from 2000 to 30000, not 30001"},
      {"count=1999", "count must be from 2000 to 30000, not 1999"},
      {"seed=-1", "seed must be a whole number from 0 to 4294967295, not '-1'"},
      {"geometry=0x5", "-geometry wants WIDTHxHEIGHT, each 1 to 32767, not '0x5'"},
      {"window-id=0x5", "'window-id' is an option of the command line only"},
      {"config=/x", "'config' is an option of the command line only"},
      {"fps=1", "'fps' is an option of the command line only"},
      {"--count=3000", "unknown name '--count'"},
      {"count 3000", "not name=value: 'count 3000'"},
  };
  for (const auto& c : cases) {
    const std::string file = dir_ + "/kivo/config";
    const std::string expected = file + ":3: " + c.why;
    const std::string text = "# line 1\nseed=5\n" + std::string(c.line) + "\ncount=2500\n";
    const KivoSetup plain = Read(text, {"-fullscreen"});
    EXPECT_FALSE(plain.parsed.ok) << c.line;
    EXPECT_EQ(plain.parsed.error, expected);
    const KivoSetup locked = Read(text, {"-lock"});
    ASSERT_TRUE(locked.parsed.ok) << c.line << ": " << locked.parsed.error;
    EXPECT_EQ(locked.skipped, std::vector<std::string>{expected});
    EXPECT_EQ(locked.parsed.options.target, KivoTarget::kLock);
    EXPECT_EQ(locked.parsed.options.count, 2500) << c.line;
    EXPECT_EQ(locked.parsed.options.seed, 5u) << c.line;
  }
  const std::string missing = dir_ + "/missing";
  EXPECT_FALSE(Read("", {"--config", missing}).parsed.ok) << "a file named but not there";
  EXPECT_EQ(Read("", {"-lock", "--config", missing}).skipped.size(), 1u);
  EXPECT_EQ(Read("bogus\n", {"--help"}).parsed.help, true) << "help reads no file";
  EXPECT_FALSE(Read("", {"-lock", "-geometry", "0x5"}).parsed.ok) << "the command line's own mistakes still refuse";
}

// $XDG_CONFIG_HOME, else ~/.config, else the first of $XDG_CONFIG_DIRS that
// has one; relative paths are not looked at, even where they lead to a file.
TEST_F(ConfigFile, TheFileIsLookedForWhereXdgSays) {
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(dir_.c_str()), 0);
  const std::string home = Write("home/.config/kivo/config", "");
  const std::string own = Write("own/kivo/config", "");
  const std::string second = Write("b/kivo/config", "");
  const std::string d = dir_;  // the working folder too
  const struct {
    std::optional<std::string> configHome, configDirs;  // none: unset
    std::string expected;
  } cases[] = {
      {d + "/own", {}, own}, {{}, {}, home}, {"", {}, home}, {"own", {}, home},
      {d + "/none", d + "/a:" + d + "/b", second}, {d + "/none", "own:" + d + "/b", second},
      {d + "/none", d + "/b:" + d + "/own", second}, {d + "/none", d + "/a", ""},
  };
  for (const auto& c : cases) {
    env_ = {{"HOME", dir_ + "/home"}};
    if (c.configHome) env_["XDG_CONFIG_HOME"] = *c.configHome;
    if (c.configDirs) env_["XDG_CONFIG_DIRS"] = *c.configDirs;
    EXPECT_EQ(FindConfigFile(Env()), c.expected) << c.configHome.value_or("unset") << " "
                                                 << c.configDirs.value_or("unset");
  }
  ASSERT_EQ(chdir(here), 0);
}

}  // namespace
}  // namespace kivo
