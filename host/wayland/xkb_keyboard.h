// Keys turned into text with xkbcommon, through the keymap the compositor
// gives (any layout), with dead keys and compose sequences composed as the
// user's locale says.
#pragma once

#include <cstddef>
#include <cstdint>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;
struct xkb_compose_table;
struct xkb_compose_state;

namespace kivo {

class XkbKeyboard {
 public:
  XkbKeyboard();
  ~XkbKeyboard();
  XkbKeyboard(const XkbKeyboard&) = delete;
  XkbKeyboard& operator=(const XkbKeyboard&) = delete;

  // The compositor's keymap (wl_keyboard.keymap); the file is closed here.
  bool SetKeymap(int fd, std::uint32_t size);
  void SetModifiers(std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked, std::uint32_t group);

  enum class Kind { kNone, kText, kEnter, kEscape, kBackspace };
  struct Key {
    Kind kind = Kind::kNone;
    char text[64] = {};  // UTF-8, for kText
    std::size_t length = 0;
  };
  // A key pressed (its evdev code, as wl_keyboard.key gives it).
  Key Press(std::uint32_t key);
  // Whether the keymap repeats the key while it is held.
  bool Repeats(std::uint32_t key) const;
  // Caps Lock is on: what is typed may not be what the user thinks.
  bool CapsLock() const;

 private:
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
  xkb_compose_table* composeTable_ = nullptr;
  xkb_compose_state* compose_ = nullptr;
};

}  // namespace kivo
