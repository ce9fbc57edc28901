#include "driver/window_in_front.h"

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "platform/runtime/ui.h"
#include "platform/win/process.h"

namespace modMain {
namespace {

constexpr int kTitleBuffer = 512;  // characters, the terminating NUL included
constexpr wchar_t kBoxClass[] = L"#32770";  // the system's class of dialog and message boxes
// The turn to ask, one for every copy in the session ("Object Namespaces": Local\ is the session's).
constexpr wchar_t kTurnName[] = L"Local\\OrvaneAskingTurn";
// On the hidden form of the run that holds the turn.
constexpr wchar_t kAskingMark[] = L"OrvaneAsking";
constexpr DWORD kLookAgainMs = 20;

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = ::GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

bool SameProgram(DWORD process_id) {
  if (process_id == 0 || process_id == ::GetCurrentProcessId()) return false;
  static const std::wstring own = win::ProcessImage(::GetCurrentProcessId());
  return !own.empty() && win::SamePath(own, win::ProcessImage(process_id));
}

}  // namespace

HWND BoxOfAnotherRun(HWND front) {
  if (!front) return nullptr;
  HWND root = ::GetAncestor(front, GA_ROOTOWNER);
  if (!root) root = front;
  // Every copy's questions and reports are owned by its hidden form; a box without it (the question
  // of a mail program that does not answer) is known by the program that shows it.
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(front, &process_id);
  const bool form = ClassOf(root) == frmCapture::kClassName;
  if (!form && !SameProgram(process_id)) return nullptr;
  // The form is hidden; what the user sees of the run is its last active box.
  HWND box = ::GetLastActivePopup(root);
  if (box && box != root) return box;
  // The form alone shows nothing to bring forward (BusyRunOf).
  return front == root && form ? nullptr : front;
}

HWND BusyRunOf(HWND front) {
  if (!front || ClassOf(front) != frmCapture::kClassName) return nullptr;
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(front, &process_id);
  if (process_id == ::GetCurrentProcessId()) return nullptr;
  if (::GetAncestor(front, GA_ROOTOWNER) != front || ::GetLastActivePopup(front) != front) return nullptr;
  return front;
}

HWND OpenBoxOfRun(HWND window) {
  struct Search {
    DWORD process_id = 0;
    HWND box = nullptr;
  } search;
  ::GetWindowThreadProcessId(window, &search.process_id);
  if (search.process_id == 0) return nullptr;
  ::EnumWindows(
      [](HWND candidate, LPARAM param) -> BOOL {
        auto* found = reinterpret_cast<Search*>(param);
        DWORD process_id = 0;
        ::GetWindowThreadProcessId(candidate, &process_id);
        if (process_id != found->process_id || !::IsWindowVisible(candidate) ||
            ClassOf(candidate) != kBoxClass)
          return TRUE;
        found->box = candidate;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.box;
}

AskingTurn::AskingTurn() {
  mutex_.reset(::CreateMutexW(nullptr, FALSE, kTurnName));
  // Without the object (its name taken by an object of another kind) every run asks, as before.
  if (!mutex_) {
    held_ = true;
    return;
  }
  // Abandoned: a run that held it ended without giving it back; it is free now, and ours.
  const DWORD waited = ::WaitForSingleObject(mutex_.get(), 0);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

bool AskingTurn::Take(DWORD timeout_ms) {
  if (held_ || !mutex_) return held_;
  const DWORD waited = ::WaitForSingleObject(mutex_.get(), timeout_ms);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  return held_;
}

void AskingTurn::AskFrom(HWND form, Showing showing) {
  if (!held_ || !form) return;
  // The mark's value is what the box is, plus one: a property is never null while set.
  const auto mark = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(showing) + 1);
  if (::SetPropW(form, kAskingMark, mark)) form_ = form;
}

void AskingTurn::GiveBack() {
  if (form_ && ::IsWindow(form_)) ::RemovePropW(form_, kAskingMark);
  form_ = nullptr;
  if (held_ && mutex_) ::ReleaseMutex(mutex_.get());
  held_ = false;
}

AskingBox BoxOfAskingRun(DWORD timeout_ms) {
  const ULONGLONG start = ::GetTickCount64();
  for (;;) {
    AskingBox found;
    ::EnumWindows(
        [](HWND form, LPARAM param) -> BOOL {
          if (ClassOf(form) != frmCapture::kClassName) return TRUE;
          const auto mark = reinterpret_cast<INT_PTR>(::GetPropW(form, kAskingMark));
          DWORD process_id = 0;
          ::GetWindowThreadProcessId(form, &process_id);
          HWND popup = ::GetLastActivePopup(form);
          if (mark == 0 || process_id == ::GetCurrentProcessId() || !popup || popup == form ||
              !::IsWindowVisible(popup))
            return TRUE;
          *reinterpret_cast<AskingBox*>(param) = {popup, static_cast<AskingTurn::Showing>(mark - 1)};
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    if (found.box || ::GetTickCount64() - start >= timeout_ms) return found;
    // The asking run holds the turn from before it captures: its box follows within moments.
    ::Sleep(kLookAgainMs);
  }
}

void AnswerOk(HWND box) {
  // As a click on the button: the box's own procedure ends it. WM_COMMAND for a button carries the
  // button's window ("WM_COMMAND message", Button notifications).
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
}

namespace {

// The run that ShowWhileRunWorks watches, on this thread.
struct WatchedRun {
  HANDLE process = nullptr;
  HWND form = nullptr;
};
thread_local WatchedRun t_watched;

BOOL CALLBACK CloseOwnMessage(HWND window, LPARAM) {
  if (ClassOf(window) == kBoxClass && ::IsWindowVisible(window)) ::EndDialog(window, IDOK);
  return TRUE;
}

void CALLBACK LookAtWatchedRun(HWND, UINT, UINT_PTR id, DWORD) {
  const bool ended =
      ::WaitForSingleObject(t_watched.process, 0) == WAIT_OBJECT_0 || !::IsWindow(t_watched.form);
  HWND box = ended ? nullptr : OpenBoxOfRun(t_watched.form);
  if (!ended && !box) return;
  ::KillTimer(nullptr, id);
  // Its box comes forward while our message still holds the foreground, which it can pass on.
  if (box) BringForward(box);
  ::EnumThreadWindows(::GetCurrentThreadId(), CloseOwnMessage, 0);
}

}  // namespace

void ShowWhileRunWorks(const std::wstring& text, UINT style, HWND busy_form) {
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(busy_form, &process_id);
  win::KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
  // Ended meanwhile: what it did (the mail, or its report) is what the press is answered with.
  if (!process || ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return;
  t_watched = {process.get(), busy_form};
  // A thread timer: the message box's own loop dispatches it to the procedure.
  const UINT_PTR timer = ::SetTimer(nullptr, 0, kLookAgainMs * 5, LookAtWatchedRun);
  rt::MsgBox(text, style);
  if (timer) ::KillTimer(nullptr, timer);
  t_watched = {};
}

void BringForward(HWND box) {
  if (::GetForegroundWindow() == box || ::SetForegroundWindow(box)) return;
  rt::ShowWhereToFind(box);
}

std::wstring WindowTitle(HWND window) {
  wchar_t title[kTitleBuffer] = {};
  const int copied = ::GetWindowTextW(window, title, kTitleBuffer);
  return std::wstring(title, copied > 0 ? static_cast<size_t>(copied) : 0);
}

std::wstring ForegroundSubject(HWND window, const std::wstring& title_at_capture) {
  std::wstring title = WindowTitle(window);
  if (title.empty() && !::IsWindow(window)) title = title_at_capture;
  // Read into the same buffer, a title read then and one read now are cut alike.
  return SubjectFromTitle(title.c_str(), kTitleBuffer, static_cast<int>(title.size()));
}

std::wstring ForegroundSubject() { return ForegroundSubject(::GetForegroundWindow(), {}); }

}  // namespace modMain
