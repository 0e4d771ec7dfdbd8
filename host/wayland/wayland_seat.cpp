// The seat's half of WaylandClient: its pointer and keyboard as plain
// calls, and what the keyboard said kept for whoever listens later.
#include <fcntl.h>
#include <unistd.h>

#include "host/wayland/wayland_client.h"

namespace kivo {
namespace {

WaylandClient* Self(void* data) { return static_cast<WaylandClient*>(data); }

}  // namespace

// The pointer and keyboard are released where the version has the request
// (3 and later), destroyed otherwise; whoever listens to the keyboard is
// told that no key is held any more.
void WaylandClient::ReleaseKeyboard() {
  if (keyboard_ == nullptr) return;
  if (wl_keyboard_get_version(keyboard_) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
    wl_keyboard_release(keyboard_);
  } else {
    wl_keyboard_destroy(keyboard_);
  }
  keyboard_ = nullptr;
  if (seat_.keyboardLeft) seat_.keyboardLeft();
}

void WaylandClient::ReleasePointer() {
  if (pointer_ == nullptr) return;
  if (wl_pointer_get_version(pointer_) >= WL_POINTER_RELEASE_SINCE_VERSION) {
    wl_pointer_release(pointer_);
  } else {
    wl_pointer_destroy(pointer_);
  }
  pointer_ = nullptr;
}

void WaylandClient::ReleaseSeat() {
  ReleasePointer();
  ReleaseKeyboard();
  if (wlSeat_ == nullptr) return;
  if (wl_seat_get_version(wlSeat_) >= WL_SEAT_RELEASE_SINCE_VERSION) {
    wl_seat_release(wlSeat_);
  } else {
    wl_seat_destroy(wlSeat_);
  }
  wlSeat_ = nullptr;
  seatName_ = 0;
}

void WaylandClient::SeatCapabilities(std::uint32_t capabilities) {
  // Filled by name: newer libwayland versions add members for events of
  // later versions, which are never sent at the version bound here.
  static const wl_pointer_listener pointerListener = [] {
    wl_pointer_listener l{};
    l.enter = [](void* d, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
      if (Self(d)->seat_.pointerEnter) Self(d)->seat_.pointerEnter(surface, serial, wl_fixed_to_double(x), wl_fixed_to_double(y));
    };
    l.leave = [](void*, wl_pointer*, std::uint32_t, wl_surface*) {};
    l.motion = [](void* d, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
      if (Self(d)->seat_.pointerMotion) Self(d)->seat_.pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
    };
    l.button = [](void* d, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button, std::uint32_t state) {
      if (Self(d)->seat_.button) Self(d)->seat_.button(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    };
    l.axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {};  // the wheel ends nothing
    l.frame = [](void*, wl_pointer*) {};
    l.axis_source = [](void*, wl_pointer*, std::uint32_t) {};
    l.axis_stop = [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {};
    l.axis_discrete = [](void*, wl_pointer*, std::uint32_t, std::int32_t) {};
    return l;
  }();
  static const wl_keyboard_listener keyboardListener = {
      [](void* d, wl_keyboard*, std::uint32_t, int fd, std::uint32_t size) { Self(d)->Keymap(fd, size); },
      [](void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {},  // enter: keys held then are no presses
      [](void* d, wl_keyboard*, std::uint32_t, wl_surface*) {  // leave
        if (Self(d)->seat_.keyboardLeft) Self(d)->seat_.keyboardLeft();
      },
      [](void* d, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key, std::uint32_t state) {
        if (Self(d)->seat_.key) Self(d)->seat_.key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
      },
      [](void* d, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
         std::uint32_t group) {
        KeyboardState& k = Self(d)->keyboardState_;
        k.modifiersTold = true;
        k.modifiers[0] = depressed;
        k.modifiers[1] = latched;
        k.modifiers[2] = locked;
        k.modifiers[3] = group;
        if (Self(d)->seat_.modifiers) Self(d)->seat_.modifiers(depressed, latched, locked, group);
      },
      [](void* d, wl_keyboard*, std::int32_t rate, std::int32_t delay) {
        KeyboardState& k = Self(d)->keyboardState_;
        k.repeatTold = true;
        k.rate = rate;
        k.delayMs = delay;
        if (Self(d)->seat_.repeat) Self(d)->seat_.repeat(rate, delay);
      },
  };
  const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (pointer && pointer_ == nullptr) {
    pointer_ = wl_seat_get_pointer(wlSeat_);
    wl_pointer_add_listener(pointer_, &pointerListener, this);
  } else if (!pointer) {
    ReleasePointer();
  }
  if (keyboard && keyboard_ == nullptr) {
    keyboard_ = wl_seat_get_keyboard(wlSeat_);
    wl_keyboard_add_listener(keyboard_, &keyboardListener, this);
  } else if (!keyboard) {
    ReleaseKeyboard();  // a key held then repeats no more
  }
}

void WaylandClient::Keymap(int fd, std::uint32_t size) {
  if (keyboardState_.keymapFd >= 0) close(keyboardState_.keymapFd);
  keyboardState_.keymapFd = fd;
  keyboardState_.keymapSize = size;
  if (!seat_.keymap) return;
  const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy >= 0) seat_.keymap(copy, size);
}

void WaylandClient::Listen(SeatEvents events) {
  seat_ = std::move(events);
  const KeyboardState& k = keyboardState_;
  if (k.keymapFd >= 0 && seat_.keymap) {
    const int copy = fcntl(k.keymapFd, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0) seat_.keymap(copy, k.keymapSize);
  }
  if (k.modifiersTold && seat_.modifiers) seat_.modifiers(k.modifiers[0], k.modifiers[1], k.modifiers[2], k.modifiers[3]);
  if (k.repeatTold && seat_.repeat) seat_.repeat(k.rate, k.delayMs);
}

}  // namespace kivo
