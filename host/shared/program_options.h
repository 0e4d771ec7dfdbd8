// The command-line options of every KIVO program, as one table
// (option_table.h) read by one parser. A program names itself (or the rows it
// accepts) and gets back what was given, in order, each value already checked
// against its row; a config file's lines come in as hits too.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kivo {

enum class OptionId {
  kHelp,
  kVersion,
  kWidth,
  kHeight,
  kGeometry,
  kCount,
  kSeed,
  kFrames,
  kOut,
  kStats,
  kPaced,
  kGifFrames,
  kWindow,
  kFullScreen,
  kRoot,
  kWindowId,
  kFps,
  kBackground,
  kX11,
  kWayland,
  kLock,
  kDaemonize,
  kConfig,
  kNoConfig,
  kLockAfter,
};

enum class Program { kKivo, kRender };

// The largest window or picture side any program takes.
constexpr int kLargestSide = 32767;

// "--name" only, as GNU tools do; or "-name" as well, as X programs do.
enum class DashStyle { kDoubleOnly, kSingleOrDouble };

struct OptionHit {
  OptionId id;
  std::int64_t number = 0;  // for options with a numeric value
  std::string text;         // for options with a text value
  std::string origin;       // "FILE:LINE" for a config file's line, "" for the command line
};

struct ParsedOptions {
  bool ok = false;
  std::string error;  // one line, without the program name
  std::vector<OptionHit> hits;  // in command-line order; help ends the list
};

// The options every program takes to replay a run: its seed and how many
// ticks to draw.
struct ReplayOptions {
  bool seedGiven = false;
  std::uint32_t seed = 0;
  std::int64_t frames = 0;
};

// An option's name as its table has it, without dashes ("" if unknown).
const char* OptionName(OptionId id);

// The seed a run uses: the one given, or else one from the clock.
std::uint32_t RunSeed(const ReplayOptions& options);

// "PROGRAM: message" on standard error, the one line a program ends with
// when it cannot go on; returns `code`.
int FailWith(const char* program, const std::string& message, int code = 2);

// Takes a --seed or --frames hit into `options`; false for any other option.
bool TakeReplayOption(const OptionHit& hit, ReplayOptions* options);

// `args` excludes the program name. "-h" always asks for help.
ParsedOptions ParseOptions(const std::vector<std::string>& args, std::initializer_list<OptionId> accepted,
                           DashStyle dashes);
// The same for every option the table gives `program`, in its dash style.
ParsedOptions ParseOptions(const std::vector<std::string>& args, Program program);

// Checks one value against the row of `id` for `program` into `hit`; a
// refusal ("NAME must be ..., not 'VALUE'") or an empty string.
std::string CheckOptionValue(Program program, OptionId id, const std::string& value, OptionHit* hit);

const char* ProgramName(Program program);
DashStyle ProgramDashes(Program program);

// What --help prints: the synopsis, a line per option, the notes; all from
// the option table.
std::string ProgramUsage(Program program);

// A program's options once read: its own typed struct, or help, or a refusal.
template <typename Options>
struct OptionsResult {
  bool ok = false;
  bool help = false;
  bool version = false;
  std::string error;  // one line, without the program name
  Options options;
};

// What every program does with its command line before its real work:
// help (the usage) or version ("PROGRAM VERSION") on standard output and 0,
// or the refusal ("PROGRAM: why", one line) on standard error and 2.
// -1 when the program should go on.
int AnswerCommandLine(bool ok, bool help, bool version, const std::string& error, const char* program,
                      const char* usage);

// Reads a config file's hits (`before`, taken first, so the command line
// wins) and then `args` into a program's Options (derived from
// ReplayOptions): the seed and frames directly, every other option by
// take(hit, options), which returns a refusal or an empty string. Options
// are taken in order, and help or version ends the reading. A config hit
// refused by take is "FILE:LINE: why"; with `skipped` given it goes there and
// the reading goes on without it.
template <typename Options, typename Take>
OptionsResult<Options> ReadOptions(const std::vector<OptionHit>& before, const std::vector<std::string>& args,
                                   Program program, Take take, std::vector<std::string>* skipped = nullptr) {
  OptionsResult<Options> result;
  ParsedOptions parsed = ParseOptions(args, program);
  if (!parsed.ok) {
    result.error = parsed.error;
    return result;
  }
  parsed.hits.insert(parsed.hits.begin(), before.begin(), before.end());
  for (const OptionHit& hit : parsed.hits) {
    if (hit.id == OptionId::kHelp || hit.id == OptionId::kVersion) {
      (hit.id == OptionId::kHelp ? result.help : result.version) = true;
      break;
    }
    if (TakeReplayOption(hit, &result.options)) continue;
    std::string error = take(hit, result.options);
    if (error.empty()) continue;
    if (!hit.origin.empty()) error = hit.origin + ": " + error;
    if (hit.origin.empty() || skipped == nullptr) {
      result.error = error;
      return result;
    }
    skipped->push_back(error);
  }
  result.ok = true;
  return result;
}

template <typename Options>
int AnswerCommandLine(const OptionsResult<Options>& r, const char* program, const char* usage) {
  return AnswerCommandLine(r.ok, r.help, r.version, r.error, program, usage);
}

}  // namespace kivo
