// Message boxes whose Japanese texts are stored as code page 932 bytes. The
// settings dialog shows one of them and the saver host the others; they live
// here, below both, so that neither reaches up into the other.
#pragma once

#include <windows.h>

namespace kivo {

// The saver's user-facing texts, as Shift_JIS bytes.
namespace sjis {
// "ウィンドウが作成できません" / "初期化エラー"
inline constexpr char kCannotCreateWindow[] =
    "\x83\x45\x83\x42\x83\x93\x83\x68\x83\x45\x82\xAA\x8D\xEC\x90\xAC\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
inline constexpr char kStartupErrorCaption[] = "\x8F\x89\x8A\xFA\x89\xBB\x83\x47\x83\x89\x81\x5B";
// "パスワードを確認できません" / "設定値取得エラー"
inline constexpr char kCannotVerifyPassword[] =
    "\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68\x82\xF0\x8A\x6D\x94\x46\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
inline constexpr char kReadErrorCaption[] = "\x90\xDD\x92\xE8\x92\x6C\x8E\xE6\x93\xBE\x83\x47\x83\x89\x81\x5B";
// "MPR.DLLが見つかりません" / "KIVO"
inline constexpr char kMprMissing[] = "MPR.DLL\x82\xAA\x8C\xA9\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
inline constexpr char kKivoCaption[] = "KIVO";
// "レジストリへ登録できません" / "設定値登録エラー"
inline constexpr char kCannotWriteRegistry[] =
    "\x83\x8C\x83\x57\x83\x58\x83\x67\x83\x8A\x82\xD6\x93\x6F\x98\x5E\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
inline constexpr char kWriteErrorCaption[] = "\x90\xDD\x92\xE8\x92\x6C\x93\x6F\x98\x5E\x83\x47\x83\x89\x81\x5B";
}  // namespace sjis

// Shows an ownerless message box. The texts are converted from code page 932
// and shown with the wide call: the ANSI call would reinterpret the bytes in
// the system's own code page and show garbage outside Japanese locales.
int ShowJapaneseMessage(const char* textCp932, const char* captionCp932, UINT style);

}  // namespace kivo
