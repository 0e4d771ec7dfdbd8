#include "host/shared/program_options.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include <cstdio>

#include "host/shared/decimal_number.h"
#include "host/shared/saver_driver.h"
#include "kivo_version.h"

namespace kivo {
namespace {

enum class ValueKind { kNone, kNumber, kText };

struct OptionRow {
  OptionId id;
  const char* name;  // without dashes
  ValueKind value;
  std::int64_t minimum;
  std::int64_t maximum;
  const char* wants;  // what a valid number is, for the refusal
};

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();

const OptionRow kOptionTable[] = {
    {OptionId::kHelp, "help", ValueKind::kNone, 0, 0, ""},
    {OptionId::kVersion, "version", ValueKind::kNone, 0, 0, ""},
    {OptionId::kWidth, "width", ValueKind::kNumber, 1, kLargestSide, "a whole number from 1 to 32767"},
    {OptionId::kHeight, "height", ValueKind::kNumber, 1, kLargestSide, "a whole number from 1 to 32767"},
    {OptionId::kGeometry, "geometry", ValueKind::kText, 0, 0, ""},
    // Any 32-bit count is taken; each program clamps it to its own range.
    {OptionId::kCount, "count", ValueKind::kNumber, kInt32Min, kInt32Max, "a whole number (32-bit)"},
    {OptionId::kSeed, "seed", ValueKind::kNumber, 0, kUint32Max, "a whole number from 0 to 4294967295"},
    {OptionId::kFrames, "frames", ValueKind::kNumber, 0, kInt32Max, "a whole number from 0 to 2147483647"},
    {OptionId::kOut, "out", ValueKind::kText, 0, 0, ""},
    {OptionId::kStats, "stats", ValueKind::kNone, 0, 0, ""},
    {OptionId::kPaced, "paced", ValueKind::kNone, 0, 0, ""},
    {OptionId::kGifFrames, "gif-frames", ValueKind::kNumber, 1, 10000, "a whole number from 1 to 10000"},
    {OptionId::kWindow, "window", ValueKind::kNone, 0, 0, ""},
    {OptionId::kFullScreen, "fullscreen", ValueKind::kNone, 0, 0, ""},
    {OptionId::kRoot, "root", ValueKind::kNone, 0, 0, ""},
    {OptionId::kWindowId, "window-id", ValueKind::kText, 0, 0, ""},
    {OptionId::kFps, "fps", ValueKind::kNone, 0, 0, ""},
    {OptionId::kBackground, "background", ValueKind::kNone, 0, 0, ""},
    {OptionId::kX11, "x11", ValueKind::kNone, 0, 0, ""},
    {OptionId::kWayland, "wayland", ValueKind::kNone, 0, 0, ""},
    {OptionId::kLock, "lock", ValueKind::kNone, 0, 0, ""},
    {OptionId::kDaemonize, "daemonize", ValueKind::kNone, 0, 0, ""},
    {OptionId::kLockAfter, "lock-after", ValueKind::kNumber, 0, 3600, "a whole number of seconds from 0 to 3600"},
};

// The row an argument names, or null. `arg` is as typed.
const OptionRow* FindRow(const std::string& arg, std::initializer_list<OptionId> accepted, DashStyle dashes) {
  std::string name;
  bool singleDash = false;
  if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
    name = arg.substr(2);
  } else if (arg.size() > 1 && arg[0] == '-' && arg[1] != '-') {
    name = arg.substr(1);
    singleDash = true;
  } else {
    return nullptr;
  }
  if (name == "h" && (singleDash || dashes == DashStyle::kSingleOrDouble)) name = "help";
  else if (singleDash && dashes == DashStyle::kDoubleOnly) return nullptr;
  for (const OptionRow& row : kOptionTable) {
    if (name == row.name && std::find(accepted.begin(), accepted.end(), row.id) != accepted.end()) return &row;
  }
  return nullptr;
}

}  // namespace

int AnswerCommandLine(bool ok, bool help, bool version, const std::string& error, const char* program,
                      const char* usage) {
  if (help) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (version) {
    std::printf("%s %s\n", program, KIVO_VERSION);
    return 0;
  }
  if (ok) return -1;
  std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  std::fputs(usage, stderr);
  return 2;
}

bool TakeReplayOption(const OptionHit& hit, ReplayOptions* options) {
  if (hit.id == OptionId::kSeed) {
    options->seed = static_cast<std::uint32_t>(hit.number);
    options->seedGiven = true;
    return true;
  }
  if (hit.id == OptionId::kFrames) {
    options->frames = hit.number;
    return true;
  }
  return false;
}

ParsedOptions ParseOptions(const std::vector<std::string>& args, std::initializer_list<OptionId> accepted,
                           DashStyle dashes) {
  ParsedOptions result;
  auto fail = [&result](const std::string& message) {
    result.ok = false;
    result.error = message;
    result.hits.clear();
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRow* row = FindRow(args[i], accepted, dashes);
    if (row == nullptr) return fail("unknown option '" + args[i] + "'");
    OptionHit hit{row->id, 0, std::string()};
    if (row->value != ValueKind::kNone) {
      if (i + 1 >= args.size()) return fail("option " + args[i] + " needs a value");
      const std::string& value = args[++i];
      if (row->value == ValueKind::kText) {
        hit.text = value;
      } else if (!ParseInteger(value, row->minimum, row->maximum, &hit.number)) {
        return fail(std::string("--") + row->name + " must be " + row->wants + ", not '" + value + "'");
      }
    }
    result.hits.push_back(hit);
    if (row->id == OptionId::kHelp || row->id == OptionId::kVersion) break;
  }
  result.ok = true;
  return result;
}

const char* OptionName(OptionId id) {
  for (const OptionRow& row : kOptionTable) {
    if (row.id == id) return row.name;
  }
  return "";
}

std::uint32_t RunSeed(const ReplayOptions& options) {
  return options.seedGiven ? options.seed : SaverDriver::ClockSeed();
}

int FailWith(const char* program, const std::string& message, int code) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  return code;
}

}  // namespace kivo
