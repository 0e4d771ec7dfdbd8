#include "host/shared/program_options.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "host/shared/decimal_number.h"
#include "host/shared/option_table.h"
#include "host/shared/saver_driver.h"
#include "kivo_version.h"

namespace kivo {
namespace {

// The row an argument names among those `takes` accepts, or null. `arg` is
// as typed.
template <typename Takes>
const OptionRow* FindRow(const std::string& arg, DashStyle dashes, Takes takes) {
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
  std::size_t size = 0;
  const OptionRow* table = OptionTable(&size);
  for (std::size_t i = 0; i < size; ++i) {
    if (name == table[i].name && takes(table[i])) return &table[i];
  }
  return nullptr;
}

std::string CheckValue(const OptionRow& row, const std::string& value, OptionHit* hit) {
  if (row.value.kind != ValueKind::kNumber) {
    hit->text = value;
    return "";
  }
  if (ParseInteger(value, row.value.minimum, row.value.maximum, &hit->number)) return "";
  return std::string(row.name) + " must be " + row.value.wants + ", not '" + value + "'";
}

template <typename Takes>
ParsedOptions Parse(const std::vector<std::string>& args, DashStyle dashes, Takes takes) {
  ParsedOptions result;
  auto fail = [&result](const std::string& message) {
    result.ok = false;
    result.error = message;
    result.hits.clear();
    return result;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const OptionRow* row = FindRow(args[i], dashes, takes);
    if (row == nullptr) return fail("unknown option '" + args[i] + "'");
    OptionHit hit{row->id, 0, std::string(), std::string()};
    if (row->value.kind != ValueKind::kNone) {
      if (i + 1 >= args.size()) return fail("option " + args[i] + " needs a value");
      const std::string error = CheckValue(*row, args[++i], &hit);
      if (!error.empty()) return fail("--" + error);
    }
    result.hits.push_back(hit);
    if (row->id == OptionId::kHelp || row->id == OptionId::kVersion) break;
  }
  result.ok = true;
  return result;
}

std::string Written(const OptionRow& row) { return std::string(row.doubleDash ? "--" : "-") + row.name; }

std::string Synopsis(const OptionRow& row) {
  return *row.placeholder == '\0' ? Written(row) : Written(row) + " " + row.placeholder;
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
  return Parse(args, dashes, [accepted](const OptionRow& row) {
    return std::find(accepted.begin(), accepted.end(), row.id) != accepted.end();
  });
}

ParsedOptions ParseOptions(const std::vector<std::string>& args, Program program) {
  return Parse(args, ProgramDashes(program),
               [program](const OptionRow& row) { return (row.programs & ProgramBit(program)) != 0; });
}

std::string CheckOptionValue(Program program, OptionId id, const std::string& value, OptionHit* hit) {
  const OptionRow* row = FindOptionRow(program, id);
  hit->id = id;
  return row == nullptr ? "not an option of " + std::string(ProgramName(program)) : CheckValue(*row, value, hit);
}

const char* ProgramName(Program program) { return program == Program::kKivo ? "kivo" : "kivo-render"; }

DashStyle ProgramDashes(Program program) {
  return program == Program::kKivo ? DashStyle::kSingleOrDouble : DashStyle::kDoubleOnly;
}

std::string ProgramUsage(Program program) {
  std::size_t size = 0;
  const OptionRow* table = OptionTable(&size);
  std::vector<const OptionRow*> rows;
  for (std::size_t i = 0; i < size; ++i) {
    if ((table[i].programs & ProgramBit(program)) != 0) rows.push_back(&table[i]);
  }
  std::string line = std::string("usage: ") + ProgramName(program);
  const std::string indent(line.size(), ' ');
  std::string synopsis;
  std::string options;
  std::string settings;
  std::string word;  // one bracket: an option, or a group's alternatives
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const OptionRow& row = *rows[i];
    const bool first = row.group == 0 || i == 0 || rows[i - 1]->group != row.group;
    const bool last = row.group == 0 || i + 1 == rows.size() || rows[i + 1]->group != row.group;
    word += (first ? "[" : " | ") + Synopsis(row);
    if (last) {
      if (line.size() + 2 + word.size() > 100) {
        synopsis += line + "\n";
        line = indent;
      }
      line += " " + word + "]";
      word.clear();
    }
    std::string left = "  " + Synopsis(row);
    left.resize(std::max<std::size_t>(left.size() + 2, 20), ' ');
    options += left + row.summary + "\n";
    if (row.value.kind != ValueKind::kNone && !row.commandLineOnly) settings += std::string(" ") + row.name;
  }
  std::string usage = synopsis + line + "\n" + options + ProgramNotes(program);
  if (FindOptionRow(program, OptionId::kConfig) != nullptr) {
    usage += "Also read from $XDG_CONFIG_HOME/kivo/config (~/.config/kivo/config), one name=value a line:\n " +
             settings + ". The command line wins over the file.\n";
  }
  return usage;
}

const char* OptionName(OptionId id) {
  std::size_t size = 0;
  const OptionRow* table = OptionTable(&size);
  for (std::size_t i = 0; i < size; ++i) {
    if (table[i].id == id) return table[i].name;
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
