// kivo's config file: where it is looked for, and its lines read together
// with the command line, which wins.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/posix/kivo_options.h"

namespace kivo {

// An environment variable's value, or null when unset (getenv, or a test's).
using Environment = std::function<const char*(const char*)>;

// The file kivo reads when the command line names none:
// $XDG_CONFIG_HOME/kivo/config (~/.config/kivo/config when that is unset,
// empty or relative), else the first kivo/config of $XDG_CONFIG_DIRS
// (/etc/xdg when unset) that exists; "" when none does.
std::string FindConfigFile(const Environment& environment);

struct KivoSetup {
  KivoParseResult parsed;
  std::vector<std::string> skipped;  // under -lock: the bad lines, "FILE:LINE: why", left out
};

// The command line and the config file (--config FILE, or the one found, or
// none with --no-config). A bad line refuses the whole ("FILE:LINE: why"),
// but under -lock it is skipped, so that a typo never keeps a session
// unlocked. Help and version read no file.
KivoSetup ReadKivoSetup(const std::vector<std::string>& args, const Environment& environment);

}  // namespace kivo
