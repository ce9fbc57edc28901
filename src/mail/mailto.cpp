#include "mail/mailto.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "mail/session.h"
#include "mail/simple_mapi.h"
#include "platform/runtime/app.h"
#include "platform/runtime/win_error.h"
#include "platform/win/system_library.h"

namespace mail {
namespace {

bool Unreserved(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'-' || c == U'.' ||
         c == U'_' || c == U'~';
}

// One character as the link carries it: itself when unreserved (or '@' in an address), else the
// percent-encoded bytes of its UTF-8 form. A lone half of a surrogate pair becomes U+FFFD.
std::wstring Encoded(char32_t c, bool in_address) {
  if (Unreserved(c) || (in_address && c == U'@')) return std::wstring(1, static_cast<wchar_t>(c));
  if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
  unsigned char bytes[4];
  int count;
  if (c < 0x80) {
    bytes[0] = static_cast<unsigned char>(c);
    count = 1;
  } else if (c < 0x800) {
    bytes[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    bytes[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 2;
  } else if (c < 0x10000) {
    bytes[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 3;
  } else {
    bytes[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
    bytes[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
    bytes[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    bytes[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    count = 4;
  }
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring out;
  for (int i = 0; i < count; ++i) {
    out += L'%';
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 0xF];
  }
  return out;
}

// The next whole character of UTF-16 text at `at`, which moves past it.
char32_t NextCharacter(std::wstring_view text, size_t& at) {
  const char32_t first = text[at++];
  if (first >= 0xD800 && first <= 0xDBFF && at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF)
    return 0x10000 + ((first - 0xD800) << 10) + (text[at++] - 0xDC00);
  return first;
}

// The text as the link carries it.
std::wstring EncodedText(std::wstring_view text, bool in_address) {
  std::wstring out;
  for (size_t at = 0; at < text.size();) out += Encoded(NextCharacter(text, at), in_address);
  return out;
}

// Appends the encoded text while the whole stays within `limit` characters, whole characters only.
void AppendEncoded(std::wstring& link, std::wstring_view text, size_t limit) {
  for (size_t at = 0; at < text.size();) {
    const std::wstring piece = Encoded(NextCharacter(text, at), false);
    if (link.size() + piece.size() > limit) return;
    link += piece;
  }
}

}  // namespace

MailtoMail MailtoLink(std::wstring_view recipients, std::wstring_view subject) {
  MailtoMail mail{L"mailto:", {}};
  bool first = true;
  for (const Recipient& recipient : SplitRecipients(recipients)) {
    // An address is never cut: a link to part of an address would mail a stranger.
    const std::wstring address = EncodedText(recipient.address, true);
    const size_t separator = first ? 0 : 1;
    if (mail.link.size() + separator + address.size() > kMaxMailtoLength) {
      mail.left_out.push_back(recipient.address);
      continue;
    }
    if (!first) mail.link += L',';
    first = false;
    mail.link += address;
  }
  constexpr std::wstring_view kSubjectField = L"?subject=";
  // The field only where at least one character of the subject fits after it.
  if (subject.empty() || mail.link.size() + kSubjectField.size() >= kMaxMailtoLength) return mail;
  const size_t before = mail.link.size();
  mail.link += kSubjectField;
  AppendEncoded(mail.link, subject, kMaxMailtoLength);
  if (mail.link.size() == before + kSubjectField.size()) mail.link.resize(before);
  return mail;
}

bool MailtoHandlerRegistered() {
  // With ASSOCF_IS_PROTOCOL the user's choice under Settings > Default apps decides, as it does for
  // ShellExecute (Windows 8 and later; "ASSOCF enumeration"). A Store program such as the new Outlook
  // registers no command line, only its application user model ID.
  static const auto query = win::SystemFunction<HRESULT(WINAPI*)(ASSOCF, ASSOCSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD*)>(
      L"shlwapi.dll", "AssocQueryStringW");
  for (ASSOCSTR what : {ASSOCSTR_COMMAND, ASSOCSTR_APPID}) {
    for (ASSOCF flags : {ASSOCF_IS_PROTOCOL, ASSOCF_NONE}) {
      wchar_t value[2048] = {};
      DWORD size = 2048;
      if (query && SUCCEEDED(query(flags, what, L"mailto", what == ASSOCSTR_COMMAND ? L"open" : nullptr, value,
                                        &size)) &&
          value[0] != L'\0')
        return true;
    }
  }
  return false;
}

namespace {

void OpenLink(Session& session, const std::wstring& link) {
  // The shell may hand the link to extensions that need an apartment ("Remarks" of ShellExecuteEx).
  session.EnterApartment();
  // A browser or mail program that is running already gets the link from the process it starts and
  // must be let to bring its window to the front ("AllowSetForegroundWindow").
  ::AllowSetForegroundWindow(ASFW_ANY);
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof execute;
  // No dialog of the shell's own: a failure is reported with the saved file named.
  execute.fMask = SEE_MASK_FLAG_NO_UI;
  execute.lpVerb = L"open";
  execute.lpFile = link.c_str();
  execute.nShow = SW_SHOWNORMAL;
  static const auto execute_link =
      win::SystemFunction<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(L"shell32.dll", "ShellExecuteExW");
  if (!execute_link) rt::RaiseHresult(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND), rt::App::EXEName() + L".ShellExecute");
  if (!execute_link(&execute)) {
    const DWORD error = ::GetLastError();
    rt::RaiseHresult(HRESULT_FROM_WIN32(error != 0 ? error : ERROR_NO_ASSOCIATION), rt::App::EXEName() + L".ShellExecute");
  }
}

}  // namespace

void OpenMailtoLink(Session& session, const std::wstring& link, bool picture_on_clipboard) {
  try {
    OpenLink(session, link);
  } catch (const rt::Error& error) {
    throw rt::Failure(picture_on_clipboard ? rt::FailureKind::kMailLinkNotOpened
                                           : rt::FailureKind::kMailLinkNotOpenedNoClipboard,
                      error);
  }
}

}  // namespace mail
