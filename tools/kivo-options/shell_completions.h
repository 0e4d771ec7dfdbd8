// A program's shell completions, from the option table: every option with
// its one-line summary, file names after an option that takes a file, and
// nothing offered after one that takes a number or a word.
#pragma once

#include <string>

#include "host/shared/program_options.h"

namespace kivo {

enum class Shell { kBash, kZsh, kFish };

std::string ShellCompletion(Shell shell, Program program);

}  // namespace kivo
