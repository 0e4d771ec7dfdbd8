// What the lock screen shows of a password being typed, with no text at
// all: one mark per character on a faint track, a clear look when Escape has
// emptied it, another while the system checks it, another after a refusal
// and another when KIVO itself could not have it checked. Drawn with KIVO's
// own rasterisers, so no font is needed.
#pragma once

#include "raster/raster_image.h"

namespace kivo {

enum class IndicatorLook { kIdle, kTyping, kCleared, kChecking, kRefused, kUnavailable };

// The indicator's size for a screen `screenHeight` pixels high: larger on
// large screens, so that it reads the same on a 2x output.
int IndicatorScale(int screenHeight);
int IndicatorWidth(int scale);
int IndicatorHeight(int scale);

// Draws the indicator into `image` (re-created at its size, black where
// nothing is): `marks` characters typed, at most kShownMarks of them shown,
// and with `capsLock` an upward arrow at the track's left end.
constexpr int kShownMarks = 24;
void DrawIndicator(RasterImage& image, IndicatorLook look, int marks, int scale, bool capsLock = false);

}  // namespace kivo
