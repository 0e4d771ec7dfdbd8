// What a port of KIVO supplies, in one place. A host:
//
//  1. owns one SnowScene: seeds it (SeedRandom), Start()s it at its window's
//     size with the stored count, calls RenderFrame every 30 ms with its
//     FramePresenter, Resize()s it if the window changes, Stop()s it at the end;
//  2. implements FramePresenter: show a bottom-up 24-bit frame (DibHeader +
//     the first byte of the bottom row) in its window;
//  3. implements SettingsStore where the count is kept (or passes the count
//     in some other way, as the X11 host does from its command line);
//  4. feeds its keys, buttons and pointer moves through InputRules, unless
//     it draws in someone else's window;
//  5. where the platform has a saver password, implements PasswordPlatform
//     and asks a PasswordGate before closing.
//
// host/win32 fills in all five; host/x11 fills in 1, 2 and 4.
#pragma once

#include "flakes/frame_presenter.h"
#include "flakes/snow_scene.h"
#include "host/input_rules.h"
#include "host/password_services.h"
#include "settings/flake_count.h"
