// kivo-test-wayland: the other side of kivo's Wayland tests, as xdotool and kivo-test-window are for X11.
//   pointer W H STEP...  a virtual pointer in a W x H layout, made half a second before its first step (so that
//       clients see it): move X Y, press left|right|middle (press and release), wait MS.
//   window               another client's window: 400 x 300, all magenta, until it is killed.
//   keyboard             one virtual keyboard with a US keymap sent once, as a real keyboard that exists before the
//       programs it types into. It prints "ready", then does what each line of its standard input says: type TEXT,
//       key NAME (press and release), press NAME, release NAME, wait MS; NAME is a keysym's (Return, BackSpace, a).
#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>

#include "us_keymap.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {
wl_seat* g_seat = nullptr;
zwlr_virtual_pointer_manager_v1* g_manager = nullptr;
zwp_virtual_keyboard_manager_v1* g_keyboards = nullptr;
wl_compositor* g_compositor = nullptr;
wl_shm* g_shm = nullptr;
xdg_wm_base* g_wmBase = nullptr;

template <typename T>
void Take(wl_registry* registry, std::uint32_t name, const char* interface, const wl_interface& wanted, T*& global) {
  if (std::strcmp(interface, wanted.name) == 0) global = static_cast<T*>(wl_registry_bind(registry, name, &wanted, 1));
}
void Global(void*, wl_registry* r, std::uint32_t name, const char* interface, std::uint32_t) {
  Take(r, name, interface, wl_seat_interface, g_seat);
  Take(r, name, interface, zwlr_virtual_pointer_manager_v1_interface, g_manager);
  Take(r, name, interface, zwp_virtual_keyboard_manager_v1_interface, g_keyboards);
  Take(r, name, interface, wl_compositor_interface, g_compositor);
  Take(r, name, interface, wl_shm_interface, g_shm);
  Take(r, name, interface, xdg_wm_base_interface, g_wmBase);
}
void GlobalRemove(void*, wl_registry*, std::uint32_t) {}
int Window(wl_display* display) {
  constexpr int kWidth = 400, kHeight = 300, kStride = kWidth * 4;
  const int fd = memfd_create("kivo-test-window", MFD_CLOEXEC);
  if (fd < 0 || ftruncate(fd, kStride * kHeight) != 0) return 2;
  auto* pixels = static_cast<std::uint32_t*>(mmap(nullptr, kStride * kHeight, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
  for (int i = 0; i < kWidth * kHeight; ++i) pixels[i] = 0xFFFF00FF;  // magenta
  wl_shm_pool* pool = wl_shm_create_pool(g_shm, fd, kStride * kHeight);
  wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, kWidth, kHeight, kStride, WL_SHM_FORMAT_XRGB8888);
  wl_surface* surface = wl_compositor_create_surface(g_compositor);
  static const xdg_wm_base_listener ping = {[](void*, xdg_wm_base* b, std::uint32_t s) { xdg_wm_base_pong(b, s); }};
  xdg_wm_base_add_listener(g_wmBase, &ping, nullptr);
  xdg_surface* xdgSurface = xdg_wm_base_get_xdg_surface(g_wmBase, surface);
  static bool configured = false;
  static const xdg_surface_listener configure = {[](void*, xdg_surface* s, std::uint32_t serial) {
    xdg_surface_ack_configure(s, serial);
    configured = true;
  }};
  xdg_surface_add_listener(xdgSurface, &configure, nullptr);
  xdg_toplevel* toplevel = xdg_surface_get_toplevel(xdgSurface);
  xdg_toplevel_set_title(toplevel, "kivo test window");
  wl_surface_commit(surface);
  while (!configured && wl_display_dispatch(display) >= 0) {}
  wl_surface_attach(surface, buffer, 0, 0);
  wl_surface_commit(surface);
  std::printf("shown\n");
  std::fflush(stdout);
  while (wl_display_dispatch(display) >= 0) {}
  return 0;
}
std::uint32_t NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::uint32_t>(t.tv_sec * 1000 + t.tv_nsec / 1000000);
}
int Keyboard(wl_display* display) {
  UsKeymap us;
  if (!MakeUsKeymap(us)) return 2;
  zwp_virtual_keyboard_v1* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(g_keyboards, g_seat);
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, us.fd, us.size);
  if (wl_display_roundtrip(display) < 0) return 1;
  std::printf("ready\n");
  std::fflush(stdout);
  auto send = [&](xkb_keysym_t sym, bool press, bool release) {
    const auto found = us.keys.find(sym);
    if (found == us.keys.end()) return false;
    const auto [code, shifted] = found->second;
    if (shifted) zwp_virtual_keyboard_v1_modifiers(keyboard, us.shift, 0, 0, 0);
    if (press) zwp_virtual_keyboard_v1_key(keyboard, NowMs(), code, WL_KEYBOARD_KEY_STATE_PRESSED);
    if (release) zwp_virtual_keyboard_v1_key(keyboard, NowMs(), code, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (shifted) zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
    return wl_display_roundtrip(display) >= 0;
  };
  std::string line;
  while (std::getline(std::cin, line)) {
    const std::size_t space = line.find(' ');
    const std::string verb = line.substr(0, space), what = space == std::string::npos ? "" : line.substr(space + 1);
    const xkb_keysym_t named = xkb_keysym_from_name(what.c_str(), XKB_KEYSYM_NO_FLAGS);
    bool done = true;
    if (verb == "type") {
      for (const char c : what) done = done && send(xkb_utf32_to_keysym(static_cast<unsigned char>(c)), true, true);
    } else if (verb == "key" || verb == "press" || verb == "release") {
      done = send(named, verb != "release", verb != "press");
    } else if (verb == "wait") {
      usleep(static_cast<useconds_t>(std::atoi(what.c_str())) * 1000);
    } else {
      done = false;
    }
    if (!done) std::fprintf(stderr, "kivo-test-wayland keyboard: cannot do '%s'\n", line.c_str());
  }
  zwp_virtual_keyboard_v1_destroy(keyboard);
  wl_display_roundtrip(display);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 1 ? argv[1] : "";
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return 2;
  const wl_registry_listener listener = {Global, GlobalRemove};
  wl_registry_add_listener(wl_display_get_registry(display), &listener, nullptr);
  wl_display_roundtrip(display);
  if (verb == "keyboard" && g_keyboards != nullptr && g_seat != nullptr) return Keyboard(display);
  if (verb == "window" && g_compositor != nullptr && g_shm != nullptr && g_wmBase != nullptr) return Window(display);
  if (verb != "pointer" || argc < 4 || g_manager == nullptr) {
    std::fprintf(stderr, "usage: kivo-test-wayland pointer W H [move X Y | press left|right|middle | wait MS]... | window | keyboard\n");
    return 2;
  }
  zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_manager, g_seat);
  wl_display_roundtrip(display);
  usleep(500000);
  auto number = [&](int i) { return static_cast<std::uint32_t>(std::atoi(argv[i])); };
  const std::uint32_t width = number(2), height = number(3);
  std::uint32_t time = 1;
  for (int i = 4; i < argc; ++i) {
    const std::string step = argv[i];
    if (step == "move" && i + 2 < argc) {
      zwlr_virtual_pointer_v1_motion_absolute(pointer, time++, number(i + 1), number(i + 2), width, height);
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
      usleep(number(++i) * 1000);
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
