// Keys through real keymaps that xkbcommon compiles from layout names,
// handed over as a compositor hands them: a file holding the keymap's text.
#include "host/wayland/xkb_keyboard.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace kivo {
namespace {

// Evdev codes, as wl_keyboard.key gives them.
enum : std::uint32_t {
  kEsc = 1, kEqual = 13, kBackspace = 14, kTab = 15, kE = 18, kY = 21, kEnter = 28, kA = 30, kKeypadEnter = 96
};

// Loads LAYOUT into `keyboard`; returns the modifier mask of NAME in it.
std::uint32_t LoadLayout(XkbKeyboard* keyboard, const char* layout, const char* modifier) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  char* text = keymap != nullptr ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  const std::uint32_t mask = keymap != nullptr ? 1u << xkb_keymap_mod_get_index(keymap, modifier) : 0;
  const int fd = memfd_create("keymap", 0);
  const std::size_t size = text != nullptr ? std::strlen(text) + 1 : 0;
  EXPECT_TRUE(size > 0 && write(fd, text, size) == static_cast<ssize_t>(size)) << "no keymap for " << layout;
  EXPECT_TRUE(keyboard->SetKeymap(fd, static_cast<std::uint32_t>(size)));
  std::free(text);
  xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return mask;
}

using Kind = XkbKeyboard::Kind;

std::string Typed(XkbKeyboard& keyboard, std::uint32_t key) {
  const XkbKeyboard::Key k = keyboard.Press(key);
  return k.kind == Kind::kText ? std::string(k.text, k.length) : "-";
}

TEST(XkbKeyboard, TextAndTheKeysThatEditItInTheCompositorsLayout) {
  setenv("LC_ALL", "C.UTF-8", 1);  // compose sequences as a UTF-8 locale has them
  XkbKeyboard keyboard;
  unsetenv("LC_ALL");
  EXPECT_EQ(keyboard.Press(kA).kind, Kind::kNone) << "no keymap yet";
  EXPECT_FALSE(keyboard.SetKeymap(memfd_create("empty", 0), 0));
  const int garbage = memfd_create("garbage", 0);
  EXPECT_EQ(write(garbage, "not a keymap", 12), 12);
  EXPECT_FALSE(keyboard.SetKeymap(garbage, 12));

  const std::uint32_t shift = LoadLayout(&keyboard, "us", XKB_MOD_NAME_SHIFT);
  EXPECT_EQ(Typed(keyboard, kA), "a");
  EXPECT_EQ(Typed(keyboard, kY), "y");
  keyboard.SetModifiers(shift, 0, 0, 0);
  EXPECT_EQ(Typed(keyboard, kA), "A");
  keyboard.SetModifiers(0, 0, shift << 1, 0);  // Lock follows Shift in every keymap
  EXPECT_EQ(Typed(keyboard, kA), "A") << "Caps Lock";
  keyboard.SetModifiers(0, 0, 0, 0);
  for (const auto& [key, kind] : {std::pair{kEnter, Kind::kEnter}, {kKeypadEnter, Kind::kEnter},
                                  {kEsc, Kind::kEscape}, {kBackspace, Kind::kBackspace}}) {
    EXPECT_EQ(keyboard.Press(key).kind, kind) << "key " << key;
  }
  EXPECT_EQ(Typed(keyboard, kTab), "-") << "control characters are no part of a password";

  const std::uint32_t control = LoadLayout(&keyboard, "de", XKB_MOD_NAME_CTRL);
  EXPECT_EQ(Typed(keyboard, kY), "z") << "the layout the compositor gave";
  EXPECT_EQ(Typed(keyboard, kEqual), "-") << "a dead acute waits for the next key";
  EXPECT_EQ(Typed(keyboard, kE), "\xC3\xA9") << "and composes it";
  // A dead key pending when an attempt ends, or taken back, composes nothing later.
  // Backspace takes the dead key, not a character.
  for (const auto& [key, kind] : {std::pair{kEsc, Kind::kEscape}, {kEnter, Kind::kEnter}, {kBackspace, Kind::kNone}}) {
    EXPECT_EQ(Typed(keyboard, kEqual), "-");
    EXPECT_EQ(keyboard.Press(key).kind, kind) << "key " << key << " with a dead key pending";
    EXPECT_EQ(Typed(keyboard, kE), "e") << "after key " << key;
  }
  keyboard.SetModifiers(control, 0, 0, 0);
  EXPECT_EQ(Typed(keyboard, kA), "-") << "Ctrl+A";
}

}  // namespace
}  // namespace kivo
