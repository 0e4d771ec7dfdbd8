#include "settings/win32/settings_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "settings/win32/japanese_message.h"
#include "resources/resource_ids.h"
#include "settings/flake_count.h"
#include "settings/win32/registry_store.h"

namespace kivo {
namespace {

// The maker's page; a reserved example address until the site exists.
constexpr char kNewsPage[] = "https://www.example.com/kivo/";

LRESULT SliderMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendDlgItemMessageW(dialog, IDC_COUNT_SLIDER, message, wParam, lParam);
}

INT_PTR OnInitDialog(HWND dialog) {
  SliderMessage(dialog, TBM_SETRANGE, TRUE, MAKELPARAM(kSliderMinimum, kSliderMaximum));
  RegistrySettingsStore store;
  std::int32_t count = 0;
  if (!ReadFlakeCount(store, &count)) return FALSE;
  SliderMessage(dialog, TBM_SETPOS, TRUE, static_cast<LPARAM>(count));
  return TRUE;
}

INT_PTR OnOk(HWND dialog) {
  const auto count = static_cast<std::int32_t>(SliderMessage(dialog, TBM_GETPOS, 0, 0));
  RegistrySettingsStore store;
  if (!WriteFlakeCount(store, count)) {
    // The dialog stays open so that the user can try again or cancel.
    ShowJapaneseMessage(sjis::kCannotWriteRegistry, sjis::kWriteErrorCaption, MB_OK);
    return TRUE;
  }
  EndDialog(dialog, 1);
  return TRUE;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          return OnOk(dialog);
        case IDCANCEL:
          EndDialog(dialog, 1);
          return TRUE;
        case IDC_NEWS_BUTTON:
          ShellExecuteA(nullptr, "open", kNewsPage, nullptr, nullptr, SW_SHOWNORMAL);
          return FALSE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunSettingsDialog(HINSTANCE instance) {
  // The wide call keeps the template's Japanese caption and labels intact
  // whatever the system's code page.
  DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsDialogProc, 0);
}

}  // namespace kivo
