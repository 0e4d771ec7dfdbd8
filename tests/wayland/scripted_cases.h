// The scripted compositor's cases: what each offers and does, and the fault in kivo that fails it.
#pragma once
#include <vector>

#define kPassword "Snow-fall 42"  // the test user's, typed by the cases

// A case's steps start once the lock surface showed 3 frames and (unless the keyboard was there from the start) a
// keyboard was plugged in 300 ms ago, so that a case fails only for its own fault; `ms` pass after each. kType types
// its text in one flush; kHoldFrames holds frame callbacks back, so that kivo has a frame waiting; kResize sends a
// configure and then the frame callbacks in one flush.
enum class Do { kType, kHold, kPlug, kUnplug, kHoldFrames, kResize, kLocked };
struct Step { Do what; const char* text; int ms; };
struct Case {
  const char *name, *fault;
  int compositorVersion, seatVersion, outputVersion;
  bool wmBase, keyboardFirst, lateLocked;
  std::vector<Step> steps;
};
const Step kUnlock = {Do::kType, kPassword "\r", 0};
const Case kCases[] = {
    {"keymap", "the keymap, sent once at wl_seat.get_keyboard during kivo's first roundtrips, dropped: no key works",
     4, 5, 3, true, true, false, {kUnlock}},
    {"batch", "a configure and a frame callback in one batch: an old-size buffer committed after acking the new size",
     4, 5, 3, true, false, false, {{Do::kHoldFrames, nullptr, 150}, {Do::kResize, nullptr, 500}, kUnlock}},
    {"late-locked", "unlock_and_destroy sent before the compositor said locked (invalid_unlock)", 4, 5, 3, true,
     false, true, {{Do::kType, kPassword "\r", 3000}, {Do::kLocked, nullptr, 0}}},
    {"no-shell", "no xdg_wm_base nor layer shell: the lock taken, then kivo gone without unlocking (a lock with no "
     "locker)", 4, 5, 3, false, false, false, {kUnlock}},
    {"old-versions", "a request that wl_compositor, wl_seat or wl_output at version 2 lacks", 2, 2, 2, true, false,
     false, {{Do::kUnplug, nullptr, 300}, {Do::kPlug, nullptr, 300}, kUnlock}},
    // 'a' held, its keyboard gone past the 600 ms repeat delay: it unlocks only if one 'a' was typed.
    {"held-key", "a key held when its keyboard went away kept repeating: marks typed with no keyboard", 4, 5, 3, true,
     false, false, {{Do::kHold, "a", 100}, {Do::kUnplug, nullptr, 1500}, {Do::kPlug, nullptr, 300},
                    {Do::kType, "\b" kPassword "\r", 0}}},
};
