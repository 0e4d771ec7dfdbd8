#include "host/lock/lock_indicator.h"

#include <algorithm>

namespace kivo {
namespace {

constexpr int kSpacing = 18;  // between marks, at scale 1
constexpr int kRadius = 5;

struct Colour {
  int red, green, blue;
};

Colour MarkColour(IndicatorLook look) {
  switch (look) {
    case IndicatorLook::kChecking:
      return {110, 160, 255};  // blue: the system is asked
    case IndicatorLook::kRefused:
      return {255, 70, 70};  // red: refused
    case IndicatorLook::kUnavailable:
      return {190, 110, 255};  // violet: not checked at all, try again
    default:
      return {235, 235, 235};
  }
}

Colour TrackColour(IndicatorLook look) {
  switch (look) {
    case IndicatorLook::kCleared:
      return {220, 150, 40};  // amber: emptied, start again
    case IndicatorLook::kRefused:
      return {150, 40, 40};
    case IndicatorLook::kUnavailable:
      return {95, 55, 130};
    default:
      return {60, 60, 60};
  }
}

}  // namespace

int IndicatorScale(int screenHeight) { return std::max(1, screenHeight / 700); }
int IndicatorWidth(int scale) { return (kShownMarks + 1) * kSpacing * scale; }
int IndicatorHeight(int scale) { return (2 * kRadius + 6) * scale; }

// Caps Lock's sign, with no text: an amber arrow pointing up, in the space
// before the first mark's place, over the track.
void DrawCapsLockArrow(RasterImage& image, int scale) {
  const int tip = kRadius * scale;  // half the arrow's height
  const int centre = kSpacing * scale / 2;
  const int middle = image.Height() / 2;
  for (int dy = -tip; dy <= tip; ++dy) {
    const int half = (dy + tip) / 3;  // widest at the bottom
    image.FillSpan(centre - half, centre + half, middle + dy, 240, 170, 40);
  }
}

void DrawIndicator(RasterImage& image, IndicatorLook look, int marks, int scale, bool capsLock) {
  const int width = IndicatorWidth(scale);
  const int height = IndicatorHeight(scale);
  if (image.Width() != width || image.Height() != height) {
    if (!image.Create(width, height, 24)) return;
  } else {
    image.FillRectangle(0, 0, width - 1, height - 1, 0, 0, 0);
  }
  const int middle = height / 2;
  const Colour track = TrackColour(look);
  // Unavailable breaks the track into dashes, so that it reads apart from
  // a refusal without telling the colours apart.
  const int dash = look == IndicatorLook::kUnavailable ? kSpacing * scale / 2 : width;
  for (int t = 0; t < scale; ++t) {
    for (int x = 0; x < width; x += 2 * dash) {
      image.FillSpan(x, std::min(x + dash, width) - 1, middle + t, track.red, track.green, track.blue);
    }
  }
  const bool alarming = look == IndicatorLook::kRefused || look == IndicatorLook::kUnavailable;
  const int shown = std::min(std::max(marks, alarming ? 3 : 0), kShownMarks);
  const Colour mark = MarkColour(look);
  // The marks are centred on the track, one step apart.
  const int first = width / 2 - (shown - 1) * kSpacing * scale / 2;
  for (int i = 0; i < shown; ++i) {
    image.AddFilledCircle(first + i * kSpacing * scale, middle, kRadius * scale, mark.red, mark.green, mark.blue);
  }
  if (capsLock) DrawCapsLockArrow(image, scale);
}

}  // namespace kivo
