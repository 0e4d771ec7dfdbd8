#include "host/shared/config_file.h"

#include <cstddef>

#include "host/shared/option_table.h"

namespace kivo {
namespace {

std::string Trimmed(const std::string& text) {
  const char* const space = " \t\r";
  const std::size_t begin = text.find_first_not_of(space);
  if (begin == std::string::npos) return "";
  return text.substr(begin, text.find_last_not_of(space) - begin + 1);
}

// The row a config line may set by this name, or a refusal in `why`.
const OptionRow* SettableRow(Program program, const std::string& name, std::string* why) {
  std::size_t size = 0;
  const OptionRow* table = OptionTable(&size);
  for (std::size_t i = 0; i < size; ++i) {
    const OptionRow& row = table[i];
    if (name != row.name || (row.programs & ProgramBit(program)) == 0) continue;
    if (row.value.kind != ValueKind::kNone && !row.commandLineOnly) return &row;
    *why = "'" + name + "' is an option of the command line only";
    return nullptr;
  }
  *why = "unknown name '" + name + "'";
  return nullptr;
}

}  // namespace

ConfigLines ParseConfigText(const std::string& text, const std::string& file, Program program) {
  ConfigLines result;
  std::size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line[0] == '#') continue;
    const std::string origin = file + ":" + std::to_string(number);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      result.errors.push_back(origin + ": not name=value: '" + line + "'");
      continue;
    }
    const std::string name = Trimmed(line.substr(0, equals));
    std::string why;
    const OptionRow* row = SettableRow(program, name, &why);
    OptionHit hit;
    if (row != nullptr) why = CheckOptionValue(program, row->id, Trimmed(line.substr(equals + 1)), &hit);
    if (!why.empty()) {
      result.errors.push_back(origin + ": " + why);
      continue;
    }
    hit.origin = origin;
    result.hits.push_back(hit);
  }
  return result;
}

}  // namespace kivo
