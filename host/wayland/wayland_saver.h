// The Wayland host: the saver on every output through the wlr layer shell
// (-fullscreen on the overlay layer, -background on the background layer),
// full-screen windows where there is no layer shell, or one window; frames
// drawn when the compositor asks for them.
#pragma once

#include "host/posix/kivo_options.h"

namespace kivo {

// Runs until input (where it counts), a signal, a closed window or the
// compositor's end; returns the exit code: 0, 1 for a connection lost while
// running, 2 after one line on stderr when it cannot start.
int RunWaylandSaver(const KivoOptions& options);

// What this build lacks, for --help ("" when nothing).
const char* WaylandBuildNote();

}  // namespace kivo
