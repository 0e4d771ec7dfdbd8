#include "tools/kivo-options/shell_completions.h"

#include <cstddef>
#include <vector>

#include "host/shared/option_table.h"

namespace kivo {
namespace {

std::vector<const OptionRow*> RowsOf(Program program) {
  std::size_t size = 0;
  const OptionRow* table = OptionTable(&size);
  std::vector<const OptionRow*> rows;
  for (std::size_t i = 0; i < size; ++i) {
    if ((table[i].programs & ProgramBit(program)) != 0) rows.push_back(&table[i]);
  }
  return rows;
}

std::string Written(const OptionRow& row) { return std::string(row.doubleDash ? "--" : "-") + row.name; }

// Every way the program takes the option: kivo takes one dash or two.
std::string Spellings(Program program, const OptionRow& row, const char* separator) {
  if (ProgramDashes(program) == DashStyle::kDoubleOnly) return std::string("--") + row.name;
  return std::string("-") + row.name + separator + "--" + row.name;
}

// `text` inside single quotes, the way `shell` reads them.
std::string Quoted(Shell shell, const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += shell == Shell::kFish ? "\\'" : "'\\''";
    else if (shell == Shell::kFish && c == '\\') out += "\\\\";
    else out += c;
  }
  return out + "'";
}

std::string Bash(Program program) {
  const std::string name = ProgramName(program);
  std::string function = "_" + name;
  for (char& c : function) c = c == '-' ? '_' : c;
  std::string files, values, words;
  for (const OptionRow* row : RowsOf(program)) {
    words += (words.empty() ? "" : " ") + Written(*row);
    if (row->value.kind == ValueKind::kFile) files += (files.empty() ? "" : "|") + Spellings(program, *row, "|");
    else if (row->value.kind != ValueKind::kNone) values += (values.empty() ? "" : "|") + Spellings(program, *row, "|");
  }
  return "# bash completion for " + name + ", made from KIVO's option table\n" + function + "() {\n" +
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=\n" +
         "  [ \"$COMP_CWORD\" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD-1]}\n" + "  case $prev in\n" +
         (files.empty() ? "" : "    " + files + ") compopt -o filenames 2>/dev/null; " +
                                   "COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n") +
         (values.empty() ? "" : "    " + values + ") COMPREPLY=(); return ;;\n") + "  esac\n" +
         "  COMPREPLY=($(compgen -W " +
         Quoted(Shell::kBash, words) + " -- \"$cur\"))\n" + "}\n" + "complete -F " + function + " " + name + "\n";
}

std::string ZshEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '[' || c == ']' || c == ':' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string Zsh(Program program) {
  const std::string name = ProgramName(program);
  std::string out = "#compdef " + name + "\n# zsh completion for " + name + ", made from KIVO's option table\n" +
                    "_arguments \\\n";
  for (const OptionRow* row : RowsOf(program)) {
    std::string action;
    if (row->value.kind == ValueKind::kFile) action = std::string(":") + row->placeholder + ":_files";
    else if (row->value.kind != ValueKind::kNone) action = std::string(":") + row->placeholder + ": ";
    out += "  " + Quoted(Shell::kZsh, Written(*row) + "[" + ZshEscaped(row->summary) + "]" + action) + " \\\n";
  }
  return out + "  && return 0\n";
}

std::string Fish(Program program) {
  const std::string name = ProgramName(program);
  std::string out = "# fish completion for " + name + ", made from KIVO's option table\n" + "complete -c " + name +
                    " -f\n";
  for (const OptionRow* row : RowsOf(program)) {
    out += "complete -c " + name + (row->doubleDash ? " -l " : " -o ") + row->name;
    if (row->value.kind == ValueKind::kFile) out += " -r -F";
    else if (row->value.kind != ValueKind::kNone) out += " -x";
    out += " -d " + Quoted(Shell::kFish, row->summary) + "\n";
  }
  return out;
}

}  // namespace

std::string ShellCompletion(Shell shell, Program program) {
  switch (shell) {
    case Shell::kBash:
      return Bash(program);
    case Shell::kZsh:
      return Zsh(program);
    case Shell::kFish:
      return Fish(program);
  }
  return "";
}

}  // namespace kivo
