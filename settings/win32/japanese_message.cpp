#include "settings/win32/japanese_message.h"

#include <string>

namespace kivo {
namespace {

constexpr UINT kShiftJis = 932;

bool FromShiftJis(const char* text, std::wstring* wide) {
  const int length = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (length <= 0) return false;
  wide->assign(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, text, -1, &(*wide)[0], length) != length) return false;
  wide->resize(static_cast<std::size_t>(length - 1));
  return true;
}

}  // namespace

int ShowJapaneseMessage(const char* textCp932, const char* captionCp932, UINT style) {
  std::wstring text;
  std::wstring caption;
  if (FromShiftJis(textCp932, &text) && FromShiftJis(captionCp932, &caption)) {
    return MessageBoxW(nullptr, text.c_str(), caption.c_str(), style);
  }
  // A system without the 932 tables still gets a box; a Japanese one reads it.
  return MessageBoxA(nullptr, textCp932, captionCp932, style);
}

}  // namespace kivo
