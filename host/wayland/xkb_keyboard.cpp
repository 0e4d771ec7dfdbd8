#include "host/wayland/xkb_keyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-compose.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace kivo {
namespace {

// The locale compose sequences follow, as the C library would pick it.
const char* ComposeLocale() {
  for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace

XkbKeyboard::XkbKeyboard() {
  context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (context_ == nullptr) return;
  composeTable_ = xkb_compose_table_new_from_locale(context_, ComposeLocale(), XKB_COMPOSE_COMPILE_NO_FLAGS);
  if (composeTable_ != nullptr) compose_ = xkb_compose_state_new(composeTable_, XKB_COMPOSE_STATE_NO_FLAGS);
}

XkbKeyboard::~XkbKeyboard() {
  xkb_compose_state_unref(compose_);
  xkb_compose_table_unref(composeTable_);
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

bool XkbKeyboard::SetKeymap(int fd, std::uint32_t size) {
  void* text = context_ != nullptr && size > 0 ? mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
  close(fd);
  if (text == MAP_FAILED) return false;
  xkb_keymap* keymap = xkb_keymap_new_from_buffer(context_, static_cast<const char*>(text), strnlen(static_cast<const char*>(text), size),
                                                  XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
  munmap(text, size);
  if (keymap == nullptr) return false;
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  state_ = xkb_state_new(keymap_);
  return state_ != nullptr;
}

void XkbKeyboard::SetModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                               std::uint32_t group) {
  if (state_ != nullptr) xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
}

XkbKeyboard::Key XkbKeyboard::Press(std::uint32_t key) {
  Key result;
  if (state_ == nullptr) return result;
  const xkb_keycode_t code = key + 8;  // evdev codes to XKB's
  xkb_keysym_t sym = xkb_state_key_get_one_sym(state_, code);
  const bool composing = compose_ != nullptr && xkb_compose_state_get_status(compose_) == XKB_COMPOSE_COMPOSING;
  switch (sym) {
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
    case XKB_KEY_Escape:
      // A dead key pending belongs to the attempt that ends here.
      if (compose_ != nullptr) xkb_compose_state_reset(compose_);
      result.kind = sym == XKB_KEY_Escape ? Kind::kEscape : Kind::kEnter;
      return result;
    case XKB_KEY_BackSpace:
      // Backspace takes back what was typed last: a pending dead key first.
      if (composing) {
        xkb_compose_state_reset(compose_);
      } else {
        result.kind = Kind::kBackspace;
      }
      return result;
    default:
      break;
  }
  if (compose_ != nullptr && xkb_compose_state_feed(compose_, sym) == XKB_COMPOSE_FEED_ACCEPTED) {
    switch (xkb_compose_state_get_status(compose_)) {
      case XKB_COMPOSE_COMPOSING:
      case XKB_COMPOSE_CANCELLED:
        return result;  // a dead key waiting for the next, or a sequence abandoned
      case XKB_COMPOSE_COMPOSED: {
        const int n = xkb_compose_state_get_utf8(compose_, result.text, sizeof result.text);
        xkb_compose_state_reset(compose_);
        result.length = n > 0 && static_cast<std::size_t>(n) < sizeof result.text ? static_cast<std::size_t>(n) : 0;
        result.kind = result.length > 0 ? Kind::kText : Kind::kNone;
        return result;
      }
      case XKB_COMPOSE_NOTHING:
        break;
    }
  }
  const int n = xkb_state_key_get_utf8(state_, code, result.text, sizeof result.text);
  // Control characters (Tab, Ctrl+letter) are no part of a password typed here.
  if (n > 0 && static_cast<std::size_t>(n) < sizeof result.text && static_cast<unsigned char>(result.text[0]) >= 0x20 &&
      result.text[0] != 0x7F) {
    result.length = static_cast<std::size_t>(n);
    result.kind = Kind::kText;
  }
  return result;
}

bool XkbKeyboard::Repeats(std::uint32_t key) const {
  return keymap_ != nullptr && xkb_keymap_key_repeats(keymap_, key + 8) != 0;  // evdev codes are 8 below X's
}

bool XkbKeyboard::CapsLock() const {
  return state_ != nullptr && xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_CAPS, XKB_STATE_MODS_LOCKED) > 0;
}

}  // namespace kivo
