#include "host/posix/kivo_config.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/shared/config_file.h"

namespace kivo {
namespace {

// XDG's rule: a relative path in these variables is to be ignored.
bool Absolute(const char* path) { return path != nullptr && path[0] == '/'; }

bool IsFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool ReadWhole(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the config file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream whole;
  whole << in.rdbuf();
  *text = whole.str();
  return true;
}

}  // namespace

std::string FindConfigFile(const Environment& environment) {
  const char* configHome = environment("XDG_CONFIG_HOME");
  const char* home = environment("HOME");
  std::string first;
  if (Absolute(configHome)) first = std::string(configHome) + "/kivo/config";
  else if (Absolute(home)) first = std::string(home) + "/.config/kivo/config";
  if (!first.empty() && IsFile(first)) return first;
  const char* dirs = environment("XDG_CONFIG_DIRS");
  std::string list = dirs != nullptr && *dirs != '\0' ? dirs : "/etc/xdg";
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string dir = list.substr(start, end - start);
    start = end + 1;
    if (Absolute(dir.c_str()) && IsFile(dir + "/kivo/config")) return dir + "/kivo/config";
  }
  return "";
}

KivoSetup ReadKivoSetup(const std::vector<std::string>& args, const Environment& environment) {
  KivoSetup setup;
  const char* window = environment("XSCREENSAVER_WINDOW");
  setup.parsed = ParseKivoOptions(args, window);
  const KivoOptions& given = setup.parsed.options;
  if (!setup.parsed.ok || setup.parsed.help || setup.parsed.version || given.noConfig) return setup;
  const bool lenient = given.lockGiven;
  const std::string file = given.configFile.empty() ? FindConfigFile(environment) : given.configFile;
  if (file.empty()) return setup;
  std::string text;
  std::string error;
  if (!ReadWhole(file, &text, &error)) {
    if (!lenient) {
      setup.parsed.ok = false;
      setup.parsed.error = error;
    } else {
      setup.skipped.push_back(error);
    }
    return setup;
  }
  const ConfigLines lines = ParseConfigText(text, file, Program::kKivo);
  if (!lines.errors.empty() && !lenient) {
    setup.parsed.ok = false;
    setup.parsed.error = lines.errors.front();
    return setup;
  }
  setup.skipped = lines.errors;
  setup.parsed = ParseKivoOptions(args, window, lines.hits, lenient ? &setup.skipped : nullptr);
  return setup;
}

}  // namespace kivo
