// kivo-options-doc: what the build writes from the option table.
//   kivo-options-doc man PROGRAM PAGE.in PAGE      the page with @SYNOPSIS@, @OPTIONS@ and @SETTINGS@ filled in
//   kivo-options-doc bash|zsh|fish PROGRAM FILE    the shell's completion for PROGRAM
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/shared/option_table.h"
#include "tools/kivo-options/shell_completions.h"

namespace {

using kivo::OptionRow;
using kivo::Program;

// Plain text as roff reads it: dashes are minus signs, no line starts a request.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '-') out += "\\-";
    else if (c == '\\') out += "\\e";
    else out += c;
  }
  return !out.empty() && (out[0] == '.' || out[0] == '\'') ? "\\&" + out : out;
}

std::string Spelled(const OptionRow& row) {
  std::string out = std::string("\\fB") + (row.doubleDash ? "\\-\\-" : "\\-") + Roff(row.name) + "\\fP";
  if (*row.placeholder != '\0') out += std::string("\\ \\fI") + Roff(row.placeholder) + "\\fP";
  return out;
}

std::vector<const OptionRow*> RowsOf(Program program) {
  std::size_t size = 0;
  const OptionRow* table = kivo::OptionTable(&size);
  std::vector<const OptionRow*> rows;
  for (std::size_t i = 0; i < size; ++i) {
    if ((table[i].programs & kivo::ProgramBit(program)) != 0) rows.push_back(&table[i]);
  }
  return rows;
}

std::string Synopsis(Program program) {
  std::string out = std::string(".B ") + kivo::ProgramName(program) + "\n";
  const std::vector<const OptionRow*> rows = RowsOf(program);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const int group = rows[i]->group;
    const bool first = group == 0 || i == 0 || rows[i - 1]->group != group;
    const bool last = group == 0 || i + 1 == rows.size() || rows[i + 1]->group != group;
    // \% keeps an option whole where the line breaks.
    out += (first ? "\\%[" : " | \\%") + Spelled(*rows[i]) + (last ? "]\n" : "");
  }
  return out;
}

std::string Options(Program program) {
  std::string out;
  for (const OptionRow* row : RowsOf(program)) {
    std::string text = *row->details != '\0' ? row->details : row->summary;
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (text.back() != '.') text += '.';
    out += ".TP\n" + Spelled(*row) + "\n" + Roff(text) + "\n";
  }
  return out;
}

// The options a config file may set, as the manual lists them.
std::string Settings(Program program) {
  std::string out;
  for (const OptionRow* row : RowsOf(program)) {
    if (row->value.kind == kivo::ValueKind::kNone || row->commandLineOnly) continue;
    out += (out.empty() ? "" : ",\n") + std::string(".B ") + Roff(row->name);
  }
  return out + "\n";
}

bool Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  std::fprintf(stderr, "kivo-options-doc: cannot write %s\n", path.c_str());
  return false;
}

int Usage() {
  std::fprintf(stderr, "usage: kivo-options-doc man PROGRAM PAGE.in PAGE | bash|zsh|fish PROGRAM FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 3 || (args[1] != "kivo" && args[1] != "kivo-render")) return Usage();
  const Program program = args[1] == "kivo" ? Program::kKivo : Program::kRender;
  if (args[0] == "man" && args.size() == 4) {
    std::ifstream in(args[2], std::ios::binary);
    if (!in) return Usage();
    std::string page, line;
    while (std::getline(in, line)) {
      if (line == "@SYNOPSIS@") page += Synopsis(program);
      else if (line == "@OPTIONS@") page += Options(program);
      else if (line == "@SETTINGS@") page += Settings(program);
      else page += line + "\n";
    }
    return Write(args[3], page) ? 0 : 1;
  }
  if (args.size() != 3) return Usage();
  kivo::Shell shell;
  if (args[0] == "bash") shell = kivo::Shell::kBash;
  else if (args[0] == "zsh") shell = kivo::Shell::kZsh;
  else if (args[0] == "fish") shell = kivo::Shell::kFish;
  else return Usage();
  return Write(args[2], kivo::ShellCompletion(shell, program)) ? 0 : 1;
}
