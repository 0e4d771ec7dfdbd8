// The one table of every option of every KIVO program: what the parser
// accepts, what a config file may set, and the words --help, the manual
// pages and the shell completions are made from. Nothing else defines an
// option.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/shared/program_options.h"

namespace kivo {

enum class ValueKind { kNone, kNumber, kText, kFile };

// What a valid value is: shared by the rows of one option, so every program
// that takes it checks it alike.
struct ValueSpec {
  ValueKind kind;
  std::int64_t minimum;
  std::int64_t maximum;
  const char* wants;  // what a valid number is, for the refusal
};

struct OptionRow {
  unsigned programs;  // a mask of ProgramBit
  OptionId id;
  const char* name;  // without dashes
  ValueSpec value;
  bool doubleDash;          // written "--name" in help, manual and completions (else "-name")
  const char* placeholder;  // the value's name in the synopsis ("" for a flag)
  int group;                // rows of one nonzero group are alternatives: [-a | -b]
  bool commandLineOnly;     // never set in a config file, even with a value
  const char* summary;      // one line: --help and the completions
  const char* details;      // the manual's paragraph ("" repeats the summary)
};

constexpr unsigned ProgramBit(Program program) { return 1u << static_cast<unsigned>(program); }

// The rows, in the order help and the manual list them.
const OptionRow* OptionTable(std::size_t* size);

// The row of `id` for `program`, or null when the program does not take it.
const OptionRow* FindOptionRow(Program program, OptionId id);

// What help adds below the options (may be empty), for each program.
const char* ProgramNotes(Program program);

}  // namespace kivo
