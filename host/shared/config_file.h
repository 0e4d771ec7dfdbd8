// A config file's lines as option hits: one "name=value" a line, where the
// name is one of the program's options with a value (the long name, without
// dashes), checked as the command line checks it. Blank lines and lines
// starting with '#' are skipped.
#pragma once

#include <string>
#include <vector>

#include "host/shared/program_options.h"

namespace kivo {

struct ConfigLines {
  std::vector<OptionHit> hits;      // each with its origin, "FILE:LINE"
  std::vector<std::string> errors;  // "FILE:LINE: why", one per bad line
};

// `file` names the file in origins and errors.
ConfigLines ParseConfigText(const std::string& text, const std::string& file, Program program);

}  // namespace kivo
