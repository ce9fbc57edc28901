#include "settings/settings_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "driver/mail_picture.h"
#include "mail/route.h"
#include "mail/session.h"
#include "settings/recipients.h"
#include "settings/settings_file.h"
#include "settings/window_size.h"
#include "text/language.h"
#include "text/text.h"

namespace installer {

namespace {

// Orvane's languages, each named as it names itself, as Windows lists languages; the first entry
// leaves the choice to Windows (an empty Language=).
struct Language {
  const wchar_t* tag;
  const wchar_t* name;
};
constexpr Language kLanguages[] = {{L"en", L"English"},
                                   {L"de", L"Deutsch"},
                                   {L"fr", L"Fran\u00E7ais"},
                                   {L"es", L"Espa\u00F1ol"},
                                   {L"it", L"Italiano"},
                                   {L"pt-BR", L"Portugu\u00EAs (Brasil)"},
                                   {L"nl", L"Nederlands"},
                                   {L"pl", L"Polski"},
                                   {L"ja", L"\u65E5\u672C\u8A9E"},
                                   {L"zh-CN", L"\u4E2D\u6587(\u7B80\u4F53)"}};

// The subject of the test mail, English as every mail's subject is (recipients' mail rules rely on it).
constexpr wchar_t kTestSubject[] = L"Screen Capture: Orvane settings test";

struct State {
  const Installation* installation = nullptr;
  std::wstring folder;
  std::wstring recipient_before;
  unsigned short keys_before = 0;
  int language_before = 0;
  std::unique_ptr<mail::Session> session;  // made for the first test mail, kept while the window is open
};


std::string Ascii(std::wstring_view tag) {
  std::string out;
  for (wchar_t c : tag) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return out;
}

// The list's entry for the Language= setting: Orvane's language it asks for, else Windows' choice.
int LanguageIndex(const std::wstring& setting) {
  if (setting.empty()) return 0;
  std::vector<std::string> tags;
  for (const Language& language : kLanguages) tags.push_back(Ascii(language.tag));
  const auto match = text::MatchLanguage(Ascii(setting), tags);
  if (!match) return 0;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (tags[i] == *match) return static_cast<int>(i) + 1;
  }
  return 0;
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::wstring RouteText(const mail::Route& route) {
  switch (route.kind) {
    case mail::Route::Kind::kAutomation:
      return text::Get(text::Id::kSettings_Route_Automation);
    case mail::Route::Kind::kDefaultProgram:
      return text::Format(text::Id::kSettings_Route_DefaultProgram, route.program);
    case mail::Route::Kind::kMailtoLink:
      return text::Get(text::Id::kSettings_Route_Mailto);
    case mail::Route::Kind::kNone:
    default:
      return text::Get(text::Id::kSettings_Route_None);
  }
}

SIZE Pixels(HWND dialog, int x, int y) {
  RECT units{0, 0, x, y};
  ::MapDialogRect(dialog, &units);
  return {units.right, units.bottom};
}

// The height `words` take wrapped to `width` pixels (at least a line), and the width of the longest line.
SIZE Measure(HDC dc, const std::wstring& words, int width, UINT prefix) {
  RECT bounds{0, 0, width, 0};
  const std::wstring measured = words.empty() ? L" " : words;
  ::DrawTextW(dc, measured.c_str(), static_cast<int>(measured.size()), &bounds,
              DT_CALCRECT | DT_EXPANDTABS | (width > 0 ? DT_WORDBREAK : DT_SINGLELINE) | prefix);
  return {bounds.right, bounds.bottom};
}

// Lays the window out around its texts, which are longer in some languages than in others and
// longer at larger scales: each label takes the lines its words need at the window's width, each
// button the width of its words, and the window the height of all of them, each label just above
// its control.
void FitToTexts(HWND dialog) {
  HDC dc = ::GetDC(dialog);
  if (!dc) return;
  HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(dialog, WM_GETFONT, 0, 0)));
  const SIZE margin = Pixels(dialog, 7, 7);
  const SIZE gap = Pixels(dialog, 4, 3);
  const SIZE section_gap = Pixels(dialog, 0, 8);
  const SIZE button = Pixels(dialog, 50, 14);
  const SIZE padding = Pixels(dialog, 8, 0);
  const SIZE field = Pixels(dialog, 286, 14);
  const SIZE keys_field = Pixels(dialog, 124, 13);
  const SIZE list = Pixels(dialog, 160, 120);
  auto item = [&](int id) { return ::GetDlgItem(dialog, id); };
  auto button_width = [&](int id) {
    return std::max<int>(button.cx, Measure(dc, TextOf(item(id)), 0, 0).cx + 2 * padding.cx);
  };
  const int ok_width = button_width(IDOK), cancel_width = button_width(IDCANCEL);
  const int test_width = button_width(IDC_TEST_MAIL);
  const int width = std::max<int>({field.cx + 2 * margin.cx, ok_width + gap.cx + cancel_width + 2 * margin.cx,
                                   test_width + 2 * margin.cx});
  const int line_width = width - 2 * margin.cx;
  int y = margin.cy;
  auto label = [&](int id, UINT prefix) {
    const int height = Measure(dc, TextOf(item(id)), line_width, prefix).cy;
    ::MoveWindow(item(id), margin.cx, y, line_width, height, FALSE);
    y += height;
  };
  auto control = [&](int id, int control_width, int height, int shown_height) {
    y += gap.cy;
    ::MoveWindow(item(id), margin.cx, y, control_width, height, FALSE);
    y += shown_height;
  };
  label(IDC_RECIPIENT_LABEL, 0);
  control(IDC_RECIPIENT, line_width, field.cy, field.cy);
  y += gap.cy;
  label(IDC_RECIPIENT_CHECK, DT_NOPREFIX);
  y += section_gap.cy;
  label(IDC_KEYS_LABEL, 0);
  control(IDC_SETTINGS_KEYS, keys_field.cx, keys_field.cy, keys_field.cy);
  y += gap.cy;
  label(IDC_KEYS_RULE, DT_NOPREFIX);
  y += section_gap.cy;
  label(IDC_LANGUAGE_LABEL, 0);
  // A drop-down list's height is its list's; what shows is one line.
  RECT shown{};
  control(IDC_LANGUAGE, std::min<int>(list.cx, line_width), list.cy, 0);
  ::GetWindowRect(item(IDC_LANGUAGE), &shown);
  y += shown.bottom - shown.top;
  y += section_gap.cy;
  label(IDC_ROUTE_LABEL, 0);
  y += gap.cy;
  label(IDC_ROUTE, DT_NOPREFIX);
  control(IDC_TEST_MAIL, test_width, button.cy, button.cy);
  y += section_gap.cy;
  SIZE link{};
  // LM_GETIDEALSIZE, which MinGW's headers lack: the same message as LM_GETIDEALHEIGHT, filling a SIZE.
  ::SendMessageW(item(IDC_FOLDER_LINK), LM_GETIDEALHEIGHT, static_cast<WPARAM>(line_width), reinterpret_cast<LPARAM>(&link));
  if (link.cy <= 0) link = Measure(dc, TextOf(item(IDC_FOLDER_LINK)), line_width, DT_NOPREFIX);
  ::MoveWindow(item(IDC_FOLDER_LINK), margin.cx, y, std::min<int>(line_width, link.cx + 2), link.cy, FALSE);
  y += link.cy + section_gap.cy;
  ::MoveWindow(item(IDCANCEL), width - margin.cx - cancel_width, y, cancel_width, button.cy, FALSE);
  ::MoveWindow(item(IDOK), width - margin.cx - cancel_width - gap.cx - ok_width, y, ok_width, button.cy, FALSE);
  const int height = y + button.cy + margin.cy;
  ::SelectObject(dc, previous);
  ::ReleaseDC(dialog, dc);

  ResizeKeepingCentre(dialog, width, height);
}

// Says next to the field which entry is not an address, as the person types; true when all are.
bool CheckRecipients(HWND dialog) {
  const std::vector<std::wstring> bad = recipients::NotAddresses(TextOf(::GetDlgItem(dialog, IDC_RECIPIENT)));
  const std::wstring said = bad.empty() ? std::wstring() : text::Format(text::Id::kSettings_NotAnAddress, bad.front());
  if (said != TextOf(::GetDlgItem(dialog, IDC_RECIPIENT_CHECK))) {
    ::SetDlgItemTextW(dialog, IDC_RECIPIENT_CHECK, said.c_str());
    FitToTexts(dialog);
  }
  return bad.empty();
}

// Refuses recipients that are not all addresses, in a box that names the first, and puts the
// keyboard in the field; true when they are all addresses.
bool RecipientsAccepted(HWND dialog) {
  if (CheckRecipients(dialog)) return true;
  const auto bad = recipients::NotAddresses(TextOf(::GetDlgItem(dialog, IDC_RECIPIENT)));
  ::MessageBoxW(dialog, text::Format(text::Id::kSettings_NotAnAddressHow, bad.front()).c_str(),
                text::Get(text::Id::kSettings_Title).c_str(), MB_OK | MB_ICONEXCLAMATION);
  ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, IDC_RECIPIENT)), TRUE);
  return false;
}

void Prepare(HWND dialog, State& state) {
  const Installation& installation = *state.installation;
  ::SetWindowTextW(dialog, text::Get(text::Id::kSettings_Title).c_str());
  ::SetDlgItemTextW(dialog, IDC_RECIPIENT_LABEL, text::Get(text::Id::kSettings_Recipient).c_str());
  ::SetDlgItemTextW(dialog, IDC_KEYS_LABEL, text::Get(text::Id::kSettings_Shortcut).c_str());
  ::SetDlgItemTextW(dialog, IDC_KEYS_RULE, HotkeyRule().c_str());
  ::SetDlgItemTextW(dialog, IDC_LANGUAGE_LABEL, text::Get(text::Id::kSettings_Language).c_str());
  ::SetDlgItemTextW(dialog, IDC_ROUTE_LABEL, text::Get(text::Id::kSettings_MailProgram).c_str());
  ::SetDlgItemTextW(dialog, IDC_ROUTE, RouteText(mail::RouteOfRun()).c_str());
  ::SetDlgItemTextW(dialog, IDC_TEST_MAIL, text::Get(text::Id::kSettings_TestMail).c_str());
  ::SetDlgItemTextW(dialog, IDC_FOLDER_LINK, (L"<a>" + text::Get(text::Id::kSettings_OpenFolder) + L"</a>").c_str());
  ::SetDlgItemTextW(dialog, IDOK, text::Get(text::Id::kShortcut_OK).c_str());
  ::SetDlgItemTextW(dialog, IDCANCEL, text::Get(text::Id::kShortcut_Cancel).c_str());

  state.recipient_before = ReadSettingValue(installation.settings, L"Email", L"Recipient");
  ::SetDlgItemTextW(dialog, IDC_RECIPIENT, state.recipient_before.c_str());
  HWND languages = ::GetDlgItem(dialog, IDC_LANGUAGE);
  ::SendMessageW(languages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text::Get(text::Id::kSettings_WindowsLanguage).c_str()));
  for (const Language& language : kLanguages) ::SendMessageW(languages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(language.name));
  state.language_before = LanguageIndex(ReadSettingValue(installation.settings, L"Display", L"Language"));
  ::SendMessageW(languages, CB_SETCURSEL, static_cast<WPARAM>(state.language_before), 0);

  HWND keys = ::GetDlgItem(dialog, IDC_SETTINGS_KEYS);
  // Keys pressed without both Ctrl and Alt get Ctrl+Alt, as in a shortcut's own "Shortcut key" field.
  ::SendMessageW(keys, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S | HKCOMB_C | HKCOMB_A | HKCOMB_SC | HKCOMB_SA,
                 MAKELPARAM(HOTKEYF_CONTROL | HOTKEYF_ALT, 0));
  state.keys_before = CurrentKeys(installation);
  ::SendMessageW(keys, HKM_SETHOTKEY, state.keys_before, 0);
  CheckRecipients(dialog);
  FitToTexts(dialog);
  ::SetFocus(::GetDlgItem(dialog, IDC_RECIPIENT));
}

void Tell(HWND dialog, const std::wstring& words, UINT icon) {
  ::MessageBoxW(dialog, words.c_str(), text::Get(text::Id::kSettings_Title).c_str(), MB_OK | icon);
}

// Saves what changed; true when it is saved and the window may close.
bool Apply(HWND dialog, State& state) {
  const Installation& installation = *state.installation;
  if (!RecipientsAccepted(dialog)) return false;
  const std::wstring recipient = TextOf(::GetDlgItem(dialog, IDC_RECIPIENT));
  if (recipient.find_first_not_of(L" \t") == std::wstring::npos && !state.recipient_before.empty() &&
      ::MessageBoxW(dialog, text::Get(text::Id::kSettings_NoRecipient).c_str(), text::Get(text::Id::kSettings_Title).c_str(),
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
    return false;
  }
  std::vector<ini::Change> changes;
  if (recipient != state.recipient_before) changes.push_back({L"Email", L"Recipient", recipient});
  const auto language = static_cast<int>(::SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_GETCURSEL, 0, 0));
  if (language >= 0 && language != state.language_before) {
    changes.push_back({L"Display", L"Language", language == 0 ? L"" : kLanguages[language - 1].tag});
  }
  const auto keys = static_cast<unsigned short>(::SendDlgItemMessageW(dialog, IDC_SETTINGS_KEYS, HKM_GETHOTKEY, 0, 0));
  if (keys != state.keys_before) {
    const Verdict verdict = JudgeKeys(keys, UsersKeyboardLayouts(), KeyName);
    if (!verdict.hotkey) {
      Tell(dialog, verdict.refusal, MB_ICONEXCLAMATION);
      ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(::GetDlgItem(dialog, IDC_SETTINGS_KEYS)), TRUE);
      return false;
    }
    // A copy without a Start-menu shortcut (unpacked from the portable zip): keys work only on such a
    // shortcut, so one is offered, made with them.
    if (LinkMissing(installation)) {
      if (::MessageBoxW(dialog, text::Format(text::Id::kSettings_CreateLink, text::KeysForDisplay(verdict.hotkey->spelling)).c_str(),
                        text::Get(text::Id::kSettings_Title).c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
      }
      const RebindResult made = CreateLinkWithKeys(installation, *verdict.hotkey, changes);
      if (!made.done) Tell(dialog, made.message, MB_ICONERROR);
      return made.done;
    }
    // The Start-menu entry's key and the settings file together, or neither.
    const RebindResult result = Rebind(installation, *verdict.hotkey, changes);
    if (!result.done) Tell(dialog, result.message, MB_ICONERROR);
    return result.done;
  }
  if (changes.empty()) return true;
  const Written written = WriteSettings(installation.settings, changes);
  if (!written.done) Tell(dialog, text::Format(text::Id::kSettings_NotWritten, installation.settings, written.reason), MB_ICONERROR);
  return written.done;
}

// The mail step of a press, with a picture of this window, to the recipients in the field.
void SendTestMail(HWND dialog, State& state) {
  if (!RecipientsAccepted(dialog)) return;
  const std::wstring recipient = TextOf(::GetDlgItem(dialog, IDC_RECIPIENT));
  if (!state.session) state.session = std::make_unique<mail::Session>();
  const auto keys = static_cast<unsigned short>(::SendDlgItemMessageW(dialog, IDC_SETTINGS_KEYS, HKM_GETHOTKEY, 0, 0));
  const auto hotkey = HotkeyOfKeys(keys);
  // As a run reads the setting: at most 1023 characters, without an address the reading cuts.
  constexpr size_t kRead = 1023;
  const modMain::RecipientSetting recipients =
      modMain::RecipientFromReads(std::wstring_view(recipient).substr(0, kRead), recipient);
  ::EnableWindow(::GetDlgItem(dialog, IDC_TEST_MAIL), FALSE);
  (void)modMain::MailPictureOf(*state.session, dialog, kTestSubject, recipients, hotkey ? hotkey->spelling : L"");
  ::EnableWindow(::GetDlgItem(dialog, IDC_TEST_MAIL), TRUE);
  // The route may have changed meanwhile (a mail program installed or chosen).
  ::SetDlgItemTextW(dialog, IDC_ROUTE, RouteText(mail::RouteOfRun()).c_str());
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<State*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      Prepare(dialog, *reinterpret_cast<State*>(lparam));
      return FALSE;  // the focus is set
    case WM_DPICHANGED:
      // The system scales the dialog's font; the layout follows it.
      FitToTexts(dialog);
      return FALSE;
    case WM_NOTIFY: {
      const auto* notice = reinterpret_cast<const NMHDR*>(lparam);
      if (notice->idFrom == IDC_FOLDER_LINK && (notice->code == NM_CLICK || notice->code == NM_RETURN)) {
        ::ShellExecuteW(dialog, nullptr, state->folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      try {
        switch (LOWORD(wparam)) {
          case IDC_RECIPIENT:
            if (HIWORD(wparam) == EN_CHANGE) CheckRecipients(dialog);
            return TRUE;
          case IDC_TEST_MAIL:
            SendTestMail(dialog, *state);
            return TRUE;
          case IDOK:
            if (Apply(dialog, *state)) ::EndDialog(dialog, 0);
            return TRUE;
          case IDCANCEL:
            ::EndDialog(dialog, 1);
            return TRUE;
          default:
            return FALSE;
        }
      } catch (const std::exception& error) {
        // Nothing escapes a window procedure: told, and the window stays.
        const std::string what = error.what();
        Tell(dialog, std::wstring(what.begin(), what.end()), MB_ICONERROR);
        return TRUE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

int SettingsWindow(HINSTANCE instance, const Installation& installation) {
  INITCOMMONCONTROLSEX classes{.dwSize = sizeof classes, .dwICC = ICC_HOTKEY_CLASS | ICC_LINK_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&classes);
  State state;
  state.installation = &installation;
  state.folder = installation.program.substr(0, installation.program.find_last_of(L"\\/"));
  const INT_PTR answer = ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, Procedure,
                                           reinterpret_cast<LPARAM>(&state));
  if (state.session) (void)state.session->LetGo();
  return answer == 0 ? 0 : 1;
}

}  // namespace installer
