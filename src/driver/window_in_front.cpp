#include "driver/window_in_front.h"

#include "driver/frm_capture.h"
#include "driver/mod_main.h"
#include "platform/runtime/ui.h"
#include "platform/win/process.h"

namespace modMain {
namespace {

constexpr int kTitleBuffer = 512;  // characters, the terminating NUL included

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
  if (ClassOf(root) != frmCapture::kClassName && !SameProgram(process_id)) return nullptr;
  // The form is hidden; what the user sees of the run is its last active box.
  HWND box = ::GetLastActivePopup(root);
  return box && box != root ? box : front;
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
