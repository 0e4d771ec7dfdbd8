// The US keymap both Wayland test instruments type with: the file a keymap event hands over, and for each keysym
// the evdev code that types it (the lowest, unshifted where it can be) and whether Shift is needed.
#pragma once
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

struct UsKeymap {
  int fd = -1;
  std::uint32_t size = 0, shift = 0;  // shift: Shift's modifier mask
  std::map<xkb_keysym_t, std::pair<std::uint32_t, bool>> keys;
};

inline bool MakeUsKeymap(UsKeymap& us) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
  xkb_keymap* keymap = context != nullptr ? xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS)
                                          : nullptr;
  char* text = keymap != nullptr ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  if (text == nullptr) return false;
  for (xkb_keycode_t code = xkb_keymap_max_keycode(keymap); code >= xkb_keymap_min_keycode(keymap) && code > 8; --code) {
    for (xkb_level_index_t level = 2; level-- > 0;) {
      const xkb_keysym_t* syms = nullptr;
      if (xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms) == 1) us.keys[syms[0]] = {code - 8, level == 1};
    }
  }
  us.shift = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_SHIFT);
  us.size = static_cast<std::uint32_t>(std::strlen(text) + 1);
  us.fd = memfd_create("kivo-test-keymap", MFD_CLOEXEC);
  const bool written = us.fd >= 0 && write(us.fd, text, us.size) == static_cast<ssize_t>(us.size);
  std::free(text);
  return written;
}
