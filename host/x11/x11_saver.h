// The X11 host: owns the display connection, the window (its own, the root
// window, which -background also draws on, or one it is given), the 30 ms
// tick and the input that ends it.
#pragma once

#include "host/posix/kivo_options.h"

namespace kivo {

// Runs until input, a signal, or the window's end; returns the exit code
// (0, or 2 after printing one line on stderr when it cannot start).
int RunX11Saver(const KivoOptions& options);

}  // namespace kivo
