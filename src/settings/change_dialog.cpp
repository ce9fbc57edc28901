#include "settings/change_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "settings/window_size.h"
#include "text/text.h"

namespace installer {

namespace {

// Where a control lies in the dialog's client area, in pixels.
RECT PlaceOf(HWND dialog, int id) {
  RECT place{};
  HWND control = ::GetDlgItem(dialog, id);
  ::GetWindowRect(control, &place);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  return place;
}

// Dialog units as pixels, in the dialog's font.
SIZE Pixels(HWND dialog, int x, int y) {
  RECT units{0, 0, x, y};
  ::MapDialogRect(dialog, &units);
  return {units.right, units.bottom};
}

// The height `words` take wrapped to `width` pixels, and the width of the longest unwrapped line.
SIZE Measure(HDC dc, const std::wstring& words, int width) {
  RECT bounds{0, 0, width, 0};
  ::DrawTextW(dc, words.c_str(), static_cast<int>(words.size()), &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  return {bounds.right, bounds.bottom};
}

// Lays the window out around its texts, which are longer in some languages than in others: the prompt
// and the rule wrap to the window's width and take the height they need, the buttons the width their
// words need, and the window grows to hold them.
void FitToTexts(HWND dialog) {
  HWND prompt = ::GetDlgItem(dialog, IDC_PROMPT);
  HWND rule = ::GetDlgItem(dialog, IDC_RULE);
  HWND keys = ::GetDlgItem(dialog, IDC_KEYS);
  HWND ok = ::GetDlgItem(dialog, IDOK);
  HWND cancel = ::GetDlgItem(dialog, IDCANCEL);
  HDC dc = ::GetDC(dialog);
  if (!dc) return;
  HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)));
  auto words = [](HWND control) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
  };
  const SIZE margin = Pixels(dialog, 7, 7);
  const SIZE gap = Pixels(dialog, 4, 7);
  const SIZE button = Pixels(dialog, 50, 14);
  const SIZE button_padding = Pixels(dialog, 8, 0);
  RECT client{};
  ::GetClientRect(dialog, &client);

  const int ok_width = std::max<int>(button.cx, Measure(dc, words(ok), 0).cx + 2 * button_padding.cx);
  const int cancel_width = std::max<int>(button.cx, Measure(dc, words(cancel), 0).cx + 2 * button_padding.cx);
  const int width = std::max<int>(client.right, ok_width + gap.cx + cancel_width + 2 * margin.cx);
  const int line_width = width - 2 * margin.cx;
  const int prompt_height = Measure(dc, words(prompt), line_width).cy;
  const int rule_height = Measure(dc, words(rule), line_width).cy;
  ::SelectObject(dc, previous);
  ::ReleaseDC(dialog, dc);

  const RECT keys_place = PlaceOf(dialog, IDC_KEYS);
  int y = margin.cy;
  ::MoveWindow(prompt, margin.cx, y, line_width, prompt_height, FALSE);
  y += prompt_height + gap.cx;
  ::MoveWindow(keys, margin.cx, y, keys_place.right - keys_place.left, keys_place.bottom - keys_place.top, FALSE);
  y += keys_place.bottom - keys_place.top + gap.cy;
  ::MoveWindow(rule, margin.cx, y, line_width, rule_height, FALSE);
  y += rule_height + gap.cy;
  ::MoveWindow(cancel, width - margin.cx - cancel_width, y, cancel_width, button.cy, FALSE);
  ::MoveWindow(ok, width - margin.cx - cancel_width - gap.cx - ok_width, y, ok_width, button.cy, FALSE);
  const int height = y + button.cy + margin.cy;

  ResizeKeepingCentre(dialog, width, height);
}

void Prepare(HWND dialog, const Installation& installation) {
  ::SetWindowTextW(dialog, text::Get(text::Id::kShortcut_Title).c_str());
  ::SetDlgItemTextW(dialog, IDC_PROMPT, text::Get(text::Id::kShortcut_Prompt).c_str());
  ::SetDlgItemTextW(dialog, IDC_RULE, HotkeyRule().c_str());
  ::SetDlgItemTextW(dialog, IDOK, text::Get(text::Id::kShortcut_OK).c_str());
  ::SetDlgItemTextW(dialog, IDCANCEL, text::Get(text::Id::kShortcut_Cancel).c_str());
  FitToTexts(dialog);
  HWND keys = ::GetDlgItem(dialog, IDC_KEYS);
  // Keys pressed without both Ctrl and Alt get Ctrl+Alt, as in a shortcut's own "Shortcut key" field.
  ::SendMessageW(keys, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S | HKCOMB_C | HKCOMB_A | HKCOMB_SC | HKCOMB_SA,
                 MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
  ::SendMessageW(keys, HKM_SETHOTKEY, CurrentKeys(installation), 0);
  ::SetFocus(keys);
}

// True when the shortcut was changed and the dialog may close.
bool Apply(HWND dialog, const Installation& installation) {
  const std::wstring title = text::Get(text::Id::kShortcut_Title);
  const auto keys = static_cast<unsigned short>(::SendDlgItemMessageW(dialog, IDC_KEYS, HKM_GETHOTKEY, 0, 0));
  const Verdict verdict = JudgeKeys(keys, UsersKeyboardLayouts(), KeyName);
  if (!verdict.hotkey) {
    ::MessageBoxW(dialog, verdict.refusal.c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  const RebindResult result = Rebind(installation, *verdict.hotkey);
  ::MessageBoxW(dialog, result.message.c_str(), title.c_str(), MB_OK | (result.done ? MB_ICONINFORMATION : MB_ICONERROR));
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
