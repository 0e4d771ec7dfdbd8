#include "host/shared/option_table.h"

#include <limits>

namespace kivo {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUint32Max = std::numeric_limits<std::uint32_t>::max();

constexpr ValueSpec kFlag{ValueKind::kNone, 0, 0, ""};
constexpr ValueSpec kText{ValueKind::kText, 0, 0, ""};
constexpr ValueSpec kFile{ValueKind::kFile, 0, 0, ""};
constexpr ValueSpec kSide{ValueKind::kNumber, 1, kLargestSide, "a whole number from 1 to 32767"};
// Any 32-bit count is taken; each program clamps it to its own range.
constexpr ValueSpec kCountValue{ValueKind::kNumber, kInt32Min, kInt32Max, "a whole number (32-bit)"};
constexpr ValueSpec kSeedValue{ValueKind::kNumber, 0, kUint32Max, "a whole number from 0 to 4294967295"};
constexpr ValueSpec kFramesValue{ValueKind::kNumber, 0, kInt32Max, "a whole number from 0 to 2147483647"};
constexpr ValueSpec kGifFramesValue{ValueKind::kNumber, 1, 10000, "a whole number from 1 to 10000"};
constexpr ValueSpec kGraceValue{ValueKind::kNumber, 0, 3600, "a whole number of seconds from 0 to 3600"};

constexpr unsigned kKivo = ProgramBit(Program::kKivo);
constexpr unsigned kRender = ProgramBit(Program::kRender);
constexpr unsigned kBoth = kKivo | kRender;

const OptionRow kTable[] = {
    // kivo: what it draws on. One of them; -lock goes with none of the others.
    {kKivo, OptionId::kWindow, "window", kFlag, false, "", 1, false,
     "snow in a window of its own (the default)",
     "Draw in a window of its own, 800 by 600 pixels unless -geometry says otherwise. This is the default. "
     "A key, a left or right button, or (after the first six pointer moves) a move of more than 3 pixels both "
     "across and down ends it, as does closing the window."},
    {kKivo, OptionId::kFullScreen, "fullscreen", kFlag, false, "", 1, false,
     "every monitor covered, each with its own snow; input ends it",
     "Cover every monitor, each with snow of its own, and hide the pointer; input ends it as it ends -window. "
     "On Wayland it covers every output on the compositor's overlay layer and takes the keyboard; a compositor "
     "with no wlr layer shell (GNOME's Mutter, cage, Weston) gets a full-screen window on each output instead, "
     "which kivo says once on standard error."},
    {kKivo, OptionId::kBackground, "background", kFlag, false, "", 1, false,
     "Wayland: an animated wallpaper under every window",
     "Wayland: snow on the background layer of every output, under all windows: an animated wallpaper. Input "
     "never ends it; SIGTERM, SIGINT or the end of the session do, with status 0. It needs the wlr layer shell. "
     "On X11 it draws on the root window, as -root does."},
    {kKivo, OptionId::kLock, "lock", kFlag, false, "", 1, false,
     "Wayland: lock the session until the user's password is typed",
     "Wayland: lock the session (the ext-session-lock-v1 protocol), with snow on every output; see LOCKING THE "
     "SESSION. It always locks or refuses: given with another of the options above or with -x11, it ends with "
     "status 2 and one line; the XSCREENSAVER_WINDOW variable is ignored, and a bad config file line is reported "
     "and skipped rather than keeping the session unlocked."},
    {kKivo, OptionId::kRoot, "root", kFlag, false, "", 1, false, "X11: the root window, a snowfall on each monitor",
     ""},
    {kKivo, OptionId::kWindowId, "window-id", kText, false, "ID", 1, true,
     "X11: draw in this window (decimal, or hexadecimal with 0x)",
     "X11: draw in the window with this id, decimal or hexadecimal with 0x. The variable XSCREENSAVER_WINDOW "
     "names such a window too, and wins over the command line. In a window that belongs to someone else kivo "
     "leaves input to its owner, follows the window's size, and ends with status 0 on SIGTERM, on SIGINT, or "
     "when the window goes away."},
    {kKivo, OptionId::kDaemonize, "daemonize", kFlag, false, "", 0, false,
     "with -lock: return once the session is locked",
     "With -lock: once the session is locked, return with status 0 and go on in the background, so that an "
     "idle daemon that waits for its command goes on; if the session cannot be locked, return with the status "
     "kivo ends with."},
    {kKivo, OptionId::kLockAfter, "lock-after", kGraceValue, true, "S", 0, false,
     "with -fullscreen on Wayland: lock the session after S seconds (0 to 3600)",
     "With -fullscreen, on Wayland: for S seconds (0 to 3600) input ends the saver; then it locks the session "
     "with the snow going on, and from then on it is -lock in every respect; see FROM THE SAVER TO THE LOCK. The "
     "seconds run while the machine sleeps, and logind's PrepareForSleep or Lock for the session ends them at "
     "once. Where the compositor cannot lock the session, and on X11, kivo ends with status 2 and one line."},
    {kKivo, OptionId::kX11, "x11", kFlag, false, "", 2, false, "speak X11, whatever the session says",
     "Speak X11 (or, with -wayland, Wayland) whatever the session says: for the rare session that has both."},
    {kKivo, OptionId::kWayland, "wayland", kFlag, false, "", 2, false, "speak Wayland, whatever the session says",
     ""},
    {kKivo, OptionId::kGeometry, "geometry", kText, false, "WxH", 0, false,
     "the size of its own window, each side 1 to 32767", ""},
    {kKivo, OptionId::kCount, "count", kCountValue, true, "N", 0, false,
     "the number of flakes, 2000 to 30000 (default 10000)",
     "The number of flakes, 2000 to 30000 (default 10000); on the command line other numbers are brought into "
     "that range with a warning, in a config file they are refused."},
    {kKivo, OptionId::kSeed, "seed", kSeedValue, true, "S", 0, false,
     "start from this seed (0 to 4294967295), not the time of day",
     "Start from this seed (0 to 4294967295) rather than the time of day, so that a run can be seen again."},
    {kKivo, OptionId::kFps, "fps", kFlag, false, "", 0, false, "print frames per second and the time per frame",
     "Print the frame rate once a second, with the milliseconds spent computing, converting and copying each "
     "frame."},
    {kKivo, OptionId::kFrames, "frames", kFramesValue, true, "F", 0, false,
     "stop drawing after F ticks and keep that frame on the screen", ""},
    {kKivo, OptionId::kConfig, "config", kFile, true, "FILE", 3, true,
     "read the settings from FILE rather than the usual config file", ""},
    {kKivo, OptionId::kNoConfig, "no-config", kFlag, true, "", 3, true, "read no config file", ""},
    // kivo-render: the picture and what it reports.
    {kRender, OptionId::kWidth, "width", kSide, true, "W", 0, false, "the picture's width, 1 to 32767 (default 800)",
     ""},
    {kRender, OptionId::kHeight, "height", kSide, true, "H", 0, false, "the picture's height, 1 to 32767 (default 600)",
     ""},
    {kRender, OptionId::kCount, "count", kCountValue, true, "N", 0, false,
     "the number of flakes (default 10000), brought into 0 to 30000 with a warning", ""},
    {kRender, OptionId::kSeed, "seed", kSeedValue, true, "S", 0, false,
     "the seed, 0 to 4294967295 (default: the time of day, printed on stderr)", ""},
    {kRender, OptionId::kFrames, "frames", kFramesValue, true, "F", 0, false,
     "how many 30 ms frame steps to run (default 100)", ""},
    {kRender, OptionId::kOut, "out", kFile, true, "FILE", 0, false,
     "where to write: a .bmp, .png or .gif file (default kivo.png)",
     "Where to write (default kivo.png). The name's ending chooses the format: .bmp writes the frame buffer byte "
     "for byte behind a bitmap header, .png the same picture, .gif an animation of the last frames, each shown "
     "for 30 milliseconds, looping forever. Nothing is left behind when writing fails."},
    {kRender, OptionId::kGifFrames, "gif-frames", kGifFramesValue, true, "N", 0, false,
     "how many of the last frames an animation holds, 1 to 10000 (default 50)", ""},
    {kRender, OptionId::kStats, "stats", kFlag, true, "", 0, false,
     "print the median and mean milliseconds per frame step", ""},
    {kRender, OptionId::kPaced, "paced", kFlag, true, "", 0, false,
     "take the steps on the saver's 30 ms beat, sleeping between them",
     "Take the steps on the saver's 30 ms beat, sleeping between them as the running saver does: the picture is "
     "the same, and with --stats the times are those of a step after a sleep."},
    {kBoth, OptionId::kVersion, "version", kFlag, true, "", 0, true, "print the version and exit", ""},
    {kBoth, OptionId::kHelp, "help", kFlag, true, "", 0, true, "print this help and exit", ""},
};

}  // namespace

const OptionRow* OptionTable(std::size_t* size) {
  *size = sizeof kTable / sizeof kTable[0];
  return kTable;
}

const OptionRow* FindOptionRow(Program program, OptionId id) {
  for (const OptionRow& row : kTable) {
    if (row.id == id && (row.programs & ProgramBit(program)) != 0) return &row;
  }
  return nullptr;
}

const char* ProgramNotes(Program program) {
  if (program == Program::kRender) return "";
  return "-lock goes with no other of the first options nor -x11, and ignores XSCREENSAVER_WINDOW.\n"
         "Options may be written with one dash or two.\n";
}

}  // namespace kivo
