// kivo-test-pointer W H STEP...: a virtual pointer for kivo's Wayland tests,
// as xdotool is for X11. W x H is the layout's size, so that positions are
// layout coordinates. Steps, in order:
//   move X Y    put the pointer at X, Y
//   press B     press and release button B: left, right or middle
//   wait MS     let MS milliseconds pass
// It waits half a second first, so that clients see the new pointer before
// it moves.
#include <linux/input-event-codes.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {
wl_seat* g_seat = nullptr;
zwlr_virtual_pointer_manager_v1* g_manager = nullptr;

void Global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
  if (std::strcmp(interface, wl_seat_interface.name) == 0) {
    g_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    g_manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
  }
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kivo-test-pointer W H [move X Y | press left|right|middle | wait MS]...\n");
    return 2;
  }
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return 2;
  const wl_registry_listener listener = {Global, GlobalRemove};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr);
  wl_display_roundtrip(display);
  if (g_manager == nullptr) {
    std::fprintf(stderr, "kivo-test-pointer: no virtual pointer here\n");
    return 2;
  }
  zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_manager, g_seat);
  wl_display_roundtrip(display);
  usleep(500000);
  const auto width = static_cast<std::uint32_t>(std::atoi(argv[1]));
  const auto height = static_cast<std::uint32_t>(std::atoi(argv[2]));
  std::uint32_t time = 1;
  for (int i = 3; i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "move" && i + 2 < argc) {
      zwlr_virtual_pointer_v1_motion_absolute(pointer, time++, static_cast<std::uint32_t>(std::atoi(argv[i + 1])),
                                              static_cast<std::uint32_t>(std::atoi(argv[i + 2])), width, height);
      zwlr_virtual_pointer_v1_frame(pointer);
      i += 2;
    } else if (step == "press" && i + 1 < argc) {
      const std::string which = argv[++i];
      const std::uint32_t button = which == "left" ? BTN_LEFT : which == "right" ? BTN_RIGHT : BTN_MIDDLE;
      zwlr_virtual_pointer_v1_button(pointer, time++, button, WL_POINTER_BUTTON_STATE_PRESSED);
      zwlr_virtual_pointer_v1_frame(pointer);
      zwlr_virtual_pointer_v1_button(pointer, time++, button, WL_POINTER_BUTTON_STATE_RELEASED);
      zwlr_virtual_pointer_v1_frame(pointer);
    } else if (step == "wait" && i + 1 < argc) {
      wl_display_flush(display);
      usleep(static_cast<useconds_t>(std::atoi(argv[++i])) * 1000);
    } else {
      std::fprintf(stderr, "kivo-test-pointer: cannot do '%s'\n", step.c_str());
      return 2;
    }
    wl_display_roundtrip(display);
  }
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
