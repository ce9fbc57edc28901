#include "mail/simple_mapi.h"

#include <dwmapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "mail/mapi_helper.h"
#include "mail/mapi_w.h"
#include "mail/session.h"
#include "platform/runtime/app.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/win_error.h"
#include "platform/win/dwm.h"
#include "platform/win/process.h"
#include "platform/win/unique.h"

namespace mail {
namespace {

constexpr wchar_t kMailClients[] = L"Software\\Clients\\Mail";

std::wstring_view Trimmed(std::wstring_view text) {
  while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
  return text;
}

// A text value of a registry key (empty name: its default value); empty when there is none.
std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  if (::RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                     &size) != ERROR_SUCCESS)
    return {};
  return value;
}

// The default mail program's client: the user's choice, else the machine's, with the hive that chose
// it; an empty name when none is chosen.
std::pair<HKEY, std::wstring> DefaultClient() {
  for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    std::wstring client = RegistryText(hive, kMailClients, nullptr);
    if (!client.empty()) return {hive, std::move(client)};
  }
  return {nullptr, {}};
}

// A value under the client's key (Software\Clients\Mail\<client> + subkey). A client the user chose
// may be registered for the whole machine, so the machine's key answers where the user's has nothing.
std::wstring ClientValue(HKEY hive, const std::wstring& client, std::wstring_view subkey, const wchar_t* name) {
  const std::wstring key = std::wstring(kMailClients) + L"\\" + client + std::wstring(subkey);
  std::wstring value = RegistryText(hive, key, name);
  if (value.empty() && hive == HKEY_CURRENT_USER) value = RegistryText(HKEY_LOCAL_MACHINE, key, name);
  return value;
}

// An export of a library, as the function type it is documented with.
template <typename Function>
Function Export(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

std::wstring Source() { return rt::App::EXEName() + L".MAPISendMail"; }

size_t FindNoCase(std::wstring_view text, std::wstring_view part) {
  for (size_t at = 0; at + part.size() <= text.size(); ++at)
    if (::CompareStringOrdinal(text.data() + at, static_cast<int>(part.size()), part.data(),
                               static_cast<int>(part.size()), TRUE) == CSTR_EQUAL)
      return at;
  return std::wstring_view::npos;
}

// The mail program's window for the new mail may come from its own process, which would open it
// behind the user's windows unless we pass it our right to the foreground. A process it starts from
// ours has that right already ("Remarks" of SetForegroundWindow: started by the foreground process);
// one already running gets it through AllowSetForegroundWindow. Its executable is the one its client
// key opens ("Registering Programs with Client Types", Windows Shell documentation).
void LetMailProgramComeToFront() {
  const auto [hive, client] = DefaultClient();
  const std::wstring command = client.empty() ? L"" : ClientValue(hive, client, L"\\shell\\open\\command", nullptr);
  if (command.empty()) return;
  wchar_t expanded[MAX_PATH * 4] = {};
  const DWORD length = ::ExpandEnvironmentStringsW(ProgramOfCommand(command).c_str(), expanded, MAX_PATH * 4);
  if (length == 0 || length > MAX_PATH * 4) return;
  const std::wstring program = expanded;

  const std::wstring_view file_name = std::wstring_view(program).substr(program.find_last_of(L"\\/") + 1);

  win::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));  // INVALID_HANDLE_VALUE on failure
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
    if (win::SamePath(entry.szExeFile, file_name) && win::SamePath(win::ProcessImage(entry.th32ProcessID), program))
      ::AllowSetForegroundWindow(entry.th32ProcessID);
  }
}

// Whether a top-level window is shown: visible, and not cloaked (a Store program's window kept out of
// sight, or one on another virtual desktop: "DWMWINDOWATTRIBUTE", DWMWA_CLOAKED).
bool Shown(HWND window) {
  if (!::IsWindowVisible(window)) return false;
  DWORD cloaked = 0;
  return FAILED(win::DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) || cloaked == 0;
}

// The visible top-level windows of the desktop.
std::vector<HWND> VisibleWindows() {
  std::vector<HWND> windows;
  ::EnumWindows(
      [](HWND window, LPARAM found) {
        if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Whether the mail program shows a window now, which stops the start deadline while it lasts. A window
// counts while it is
// - shown, and was not when the call began;
// - of another process than ours: the helper's, where the library shows the mail, or a mail program's
//   that runs on its own. Never ours (the watchdog's question, our reports), nor the shell's (the
//   desktop, the taskbar), nor `was_in_front`, the window the user was in, which may hide as our
//   question takes the focus and show again as it closes;
// - one that takes the focus: a tooltip or a notification anywhere on the desktop is a top-level window
//   too;
// - answering: a window whose thread has not taken its messages for five seconds is not responding
//   ("IsHungAppWindow"), and a frozen mail window is no sign of a mail program at work.
// The foreground is no sign either way: the user may click any window meanwhile.
// A question or message of another run of Orvane (the word of a second press that this run is still
// opening its mail, say): its root owner is that run's hidden form. Our helper's windows are owned by
// our own form, or by none.
bool BoxOfAnotherRun(HWND window, DWORD ours) {
  const HWND root = ::GetAncestor(window, GA_ROOTOWNER);
  if (!root) return false;
  DWORD process = 0;
  ::GetWindowThreadProcessId(root, &process);
  wchar_t name[64] = {};
  ::GetClassNameW(root, name, 64);
  return process != ours && ::lstrcmpW(name, rt::App::kOwnerFormClass) == 0;
}

std::function<bool()> MailProgramUp(HWND was_in_front) {
  DWORD shell_process = 0;
  ::GetWindowThreadProcessId(::GetShellWindow(), &shell_process);
  std::vector<HWND> before;
  for (HWND window : VisibleWindows())
    if (Shown(window)) before.push_back(window);
  return [before = std::move(before), was_in_front, shell_process, ours = ::GetCurrentProcessId()] {
    for (HWND window : VisibleWindows()) {
      if (window == was_in_front || std::find(before.begin(), before.end(), window) != before.end()) continue;
      DWORD process = 0;
      ::GetWindowThreadProcessId(window, &process);
      if (process == ours || (shell_process != 0 && process == shell_process)) continue;
      if (::GetWindowLongPtrW(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE)) continue;
      if (BoxOfAnotherRun(window, ours)) continue;
      if (Shown(window) && !::IsHungAppWindow(window)) return true;
    }
    return false;
  };
}

// The texts of one mail in one character set, kept alive while the records point into them.
template <typename String>
struct MailTexts {
  String subject, path, file_name;
  std::vector<String> names, addresses;
};

MailTexts<std::wstring> TextsOf(const std::wstring& attachment_path, const std::wstring& subject,
                                const std::wstring& recipients) {
  MailTexts<std::wstring> texts{subject, attachment_path, attachment_path, {}, {}};
  const size_t slash = attachment_path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) texts.file_name = attachment_path.substr(slash + 1);
  for (const Recipient& recipient : SplitRecipients(recipients)) {
    // "SMTP:" + address is the form Simple MAPI documents for an address typed by the user.
    texts.addresses.push_back(L"SMTP:" + recipient.address);
    texts.names.push_back(recipient.name.empty() ? recipient.address : recipient.name);
  }
  return texts;
}

std::string Ansi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size, nullptr,
                          nullptr);
  return out;
}

MailTexts<std::string> Ansi(const MailTexts<std::wstring>& texts) {
  MailTexts<std::string> out{Ansi(texts.subject), Ansi(texts.path), Ansi(texts.file_name), {}, {}};
  for (const auto& name : texts.names) out.names.push_back(Ansi(name));
  for (const auto& address : texts.addresses) out.addresses.push_back(Ansi(address));
  return out;
}

// The records over the texts and the call, the same in either character set.
template <typename Message, typename RecipDesc, typename FileDesc, typename Send, typename String>
ULONG SendWith(Send send, HWND owner, MailTexts<String>& texts, FLAGS flags) {
  std::vector<RecipDesc> recipients;
  for (size_t i = 0; i < texts.addresses.size(); ++i)
    recipients.push_back(RecipDesc{.ulReserved = 0, .ulRecipClass = MAPI_TO, .lpszName = texts.names[i].data(),
                                   .lpszAddress = texts.addresses[i].data(), .ulEIDSize = 0, .lpEntryID = nullptr});
  FileDesc file{.ulReserved = 0, .flFlags = 0, .nPosition = static_cast<ULONG>(-1),  // not in the text
                .lpszPathName = texts.path.data(), .lpszFileName = texts.file_name.data(), .lpFileType = nullptr};
  Message message{.ulReserved = 0, .lpszSubject = texts.subject.data(), .lpszNoteText = nullptr,
                  .lpszMessageType = nullptr, .lpszDateReceived = nullptr, .lpszConversationID = nullptr,
                  .flFlags = 0, .lpOriginator = nullptr, .nRecipCount = static_cast<ULONG>(recipients.size()),
                  .lpRecips = recipients.empty() ? nullptr : recipients.data(), .nFileCount = 1, .lpFiles = &file};
  return send(0, reinterpret_cast<ULONG_PTR>(owner), &message, flags, 0);
}

}  // namespace

std::vector<Recipient> SplitRecipients(std::wstring_view setting) {
  std::vector<Recipient> recipients;
  for (std::wstring_view part : RecipientParts(setting)) {
    part = Trimmed(part);
    if (part.empty()) continue;
    Recipient recipient;
    const size_t open = part.rfind(L'<');
    if (part.back() == L'>' && open != std::wstring_view::npos) {
      std::wstring_view name = Trimmed(part.substr(0, open));
      if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"') name = name.substr(1, name.size() - 2);
      recipient.name = name;
      recipient.address = Trimmed(part.substr(open + 1, part.size() - open - 2));
    } else {
      recipient.address = part;
    }
    if (!recipient.address.empty()) recipients.push_back(std::move(recipient));
  }
  return recipients;
}

bool DefaultMailProgramRegistered() {
  const auto [hive, client] = DefaultClient();
  return !client.empty() && (!ClientValue(hive, client, L"", L"DLLPath").empty() ||
                             !ClientValue(hive, client, L"", L"DLLPathEx").empty());
}

std::wstring DefaultMailProgramName() {
  const auto [hive, client] = DefaultClient();
  if (client.empty()) return {};
  const std::wstring name = ClientValue(hive, client, L"", nullptr);
  return name.empty() ? client : name;
}

std::wstring ProgramOfCommand(std::wstring_view command) {
  command = Trimmed(command);
  if (!command.empty() && command.front() == L'"') {
    const size_t close = command.find(L'"', 1);
    return std::wstring(command.substr(1, close == std::wstring_view::npos ? std::wstring_view::npos : close - 1));
  }
  // Unquoted: up to the first blank after the executable's name, as the shell reads it.
  const size_t exe = FindNoCase(command, L".exe");
  if (exe != std::wstring_view::npos) return std::wstring(command.substr(0, exe + 4));
  return std::wstring(command.substr(0, command.find(L' ')));
}

ULONG SendThroughMapi(HWND owner, const std::wstring& attachment_path, const std::wstring& subject,
                      const std::wstring& recipients) {
  // From the system folder only: the application folder is writable, and a mapi32.dll put there must
  // never be loaded. The library stays loaded to the end of the process, as mail programs expect.
  HMODULE mapi = ::LoadLibraryExW(L"mapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!mapi) rt::RaiseHresult(HRESULT_FROM_WIN32(::GetLastError()), Source());
  MailTexts<std::wstring> texts = TextsOf(attachment_path, subject, recipients);
  // Shown to the user, who sends it; logging on may ask who they are.
  constexpr FLAGS kFlags = MAPI_DIALOG | MAPI_LOGON_UI;
  if (auto wide = Export<MapiSendMailW>(mapi, "MAPISendMailW"))
    return SendWith<MapiMessageW, MapiRecipDescW, MapiFileDescW>(wide, owner, texts, kFlags);
  if (auto ansi = Export<MapiSendMailA>(mapi, "MAPISendMail")) {
    MailTexts<std::string> ansi_texts = Ansi(texts);
    return SendWith<MapiMessage, MapiRecipDesc, MapiFileDesc>(ansi, owner, ansi_texts, kFlags);
  }
  return MAPI_E_NOT_SUPPORTED;
}

bool ShowMailInDefaultProgram(Session& session, HWND owner, HWND was_in_front, const std::wstring& attachment_path,
                              const std::wstring& subject, const std::wstring& recipients,
                              const std::wstring& helper_program) {
  LetMailProgramComeToFront();
  // A mail program stuck on its start would keep us waiting invisibly: it has the start deadline, and
  // while its window is up the user may write for as long as they like. The watched wait begins the
  // session.
  HelperEnd end;
  try {
    end = CallInHelperProcess(session, MailForHelper{owner, attachment_path, subject, recipients}, helper_program,
                              MailProgramUp(was_in_front));
  } catch (const rt::Error& error) {
    throw session.FailureOf(error, rt::FailureKind::kOther);
  }
  const auto failure = [](rt::FailureKind kind, const rt::Error& error) {
    return rt::Failure(kind, error, {}, DefaultMailProgramName());
  };
  switch (end.kind) {
    case HelperEnd::Kind::kAnswered:
      break;
    case HelperEnd::Kind::kNotLoaded:
      throw failure(rt::FailureKind::kOther, rt::HresultError(static_cast<HRESULT>(end.code), Source()));
    case HelperEnd::Kind::kBroke:
      throw failure(rt::FailureKind::kMailProgramCrashed,
                    rt::Error(static_cast<long>(end.code), Source(),
                              L"The mail program's library " + HowTheLibraryEnded(end.code)));
    case HelperEnd::Kind::kGivenUp:
      throw failure(rt::FailureKind::kGaveUp, rt::Error(static_cast<long>(HRESULT_FROM_WIN32(ERROR_CANCELLED)),
                                                        Source(), L"Gave up waiting for the mail program"));
  }
  if (end.code == SUCCESS_SUCCESS) return true;
  if (end.code == MAPI_USER_ABORT) return false;
  throw failure(rt::FailureKind::kMailProgramRefused,
                rt::Error(static_cast<long>(end.code), Source(), L"The mail program answered " + MapiCodeName(end.code)));
}

std::wstring HowTheLibraryEnded(DWORD exit_code) {
  struct Known {
    DWORD code;
    const wchar_t* name;
  };
  // The exceptions a crashing library ends with most ("NTSTATUS Values"; 0xE06D7363 is how Visual C++
  // raises its exceptions).
  static constexpr Known kKnown[] = {
      {0xC0000005, L"access violation"},       {0xC00000FD, L"stack overflow"},
      {0xC000001D, L"illegal instruction"},    {0xC0000094, L"integer division by zero"},
      {0xC0000374, L"heap corruption"},        {0xC0000409, L"stack buffer overrun"},
      {0xE06D7363, L"unhandled C++ exception"}, {0x80000003, L"breakpoint"},
  };
  wchar_t hex[16] = {};
  ::swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(exit_code));
  for (const Known& known : kKnown)
    if (known.code == exit_code) return L"crashed: " + std::wstring(known.name) + L" (" + hex + L")";
  if (exit_code >= 0x80000000) return L"crashed: exception " + std::wstring(hex);
  return L"ended its process with exit code " + std::to_wstring(exit_code);
}

std::wstring MapiCodeName(ULONG code) {
  static const wchar_t* const kNames[] = {
      L"SUCCESS_SUCCESS", L"MAPI_USER_ABORT", L"MAPI_E_FAILURE", L"MAPI_E_LOGON_FAILURE", L"MAPI_E_DISK_FULL",
      L"MAPI_E_INSUFFICIENT_MEMORY", L"MAPI_E_ACCESS_DENIED", nullptr, L"MAPI_E_TOO_MANY_SESSIONS",
      L"MAPI_E_TOO_MANY_FILES", L"MAPI_E_TOO_MANY_RECIPIENTS", L"MAPI_E_ATTACHMENT_NOT_FOUND",
      L"MAPI_E_ATTACHMENT_OPEN_FAILURE", L"MAPI_E_ATTACHMENT_WRITE_FAILURE", L"MAPI_E_UNKNOWN_RECIPIENT",
      L"MAPI_E_BAD_RECIPTYPE", L"MAPI_E_NO_MESSAGES", L"MAPI_E_INVALID_MESSAGE", L"MAPI_E_TEXT_TOO_LARGE",
      L"MAPI_E_INVALID_SESSION", L"MAPI_E_TYPE_NOT_SUPPORTED", L"MAPI_E_AMBIGUOUS_RECIPIENT",
      L"MAPI_E_MESSAGE_IN_USE", L"MAPI_E_NETWORK_FAILURE", L"MAPI_E_INVALID_EDITFIELDS", L"MAPI_E_INVALID_RECIPS",
      L"MAPI_E_NOT_SUPPORTED"};
  if (code < sizeof kNames / sizeof kNames[0] && kNames[code]) return std::wstring(kNames[code]) + L" (" + std::to_wstring(code) + L")";
  return L"code " + std::to_wstring(code);
}

}  // namespace mail
