#include "settings/change_dialog.h"

#include <commctrl.h>

namespace installer {

namespace {

constexpr wchar_t kTitle[] = L"Change Orvane's shortcut";

void Prepare(HWND dialog, const Installation& installation) {
  ::SetDlgItemTextW(dialog, IDC_RULE, kHotkeyRule);
  HWND keys = ::GetDlgItem(dialog, IDC_KEYS);
  // Keys pressed without both Ctrl and Alt get Ctrl+Alt, as in a shortcut's own "Shortcut key" field.
  ::SendMessageW(keys, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S | HKCOMB_C | HKCOMB_A | HKCOMB_SC | HKCOMB_SA,
                 MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
  ::SendMessageW(keys, HKM_SETHOTKEY, CurrentKeys(installation), 0);
  ::SetFocus(keys);
}

// True when the shortcut was changed and the dialog may close.
bool Apply(HWND dialog, const Installation& installation) {
  const auto keys = static_cast<unsigned short>(::SendDlgItemMessageW(dialog, IDC_KEYS, HKM_GETHOTKEY, 0, 0));
  const Verdict verdict = JudgeKeys(keys, UsersKeyboardLayouts(), KeyName);
  if (!verdict.hotkey) {
    ::MessageBoxW(dialog, verdict.refusal.c_str(), kTitle, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  const RebindResult result = Rebind(installation, *verdict.hotkey);
  ::MessageBoxW(dialog, result.message.c_str(), kTitle, MB_OK | (result.done ? MB_ICONINFORMATION : MB_ICONERROR));
  return result.done;
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      Prepare(dialog, *reinterpret_cast<const Installation*>(lparam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) {
        const auto* installation = reinterpret_cast<const Installation*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (Apply(dialog, *installation)) ::EndDialog(dialog, 0);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        ::EndDialog(dialog, 1);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int ChangeShortcutDialog(HINSTANCE instance, const Installation& installation) {
  INITCOMMONCONTROLSEX classes{.dwSize = sizeof classes, .dwICC = ICC_HOTKEY_CLASS};
  ::InitCommonControlsEx(&classes);
  const INT_PTR answer = ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CHANGE_SHORTCUT), nullptr, Procedure,
                                           reinterpret_cast<LPARAM>(&installation));
  return answer == 0 ? 0 : 1;
}

}  // namespace installer
