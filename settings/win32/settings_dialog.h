// The settings dialog: one slider for the number of flakes.
#pragma once

#include <windows.h>

namespace kivo {

// Runs dialog 101 modally with no owner; returns when it is closed.
void RunSettingsDialog(HINSTANCE instance);

}  // namespace kivo
