#pragma once
// Driving the desktop from outside a program: a sample window to capture, and the message boxes
// another process shows. Used by the end-to-end tests and by the demo.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace desktop {

// A top-level window with a title and a known picture in its client area: four quadrants of the
// colours below and a one-pixel black border round the client area; or, for benchmarks, something like
// a working screen (panels, lines of text, a gradient and a photograph-like corner), the same each time.
class SampleWindow {
 public:
  enum class Content { kQuadrants, kScreen };
  SampleWindow(const std::wstring& title, int client_width, int client_height, int x = 80, int y = 60,
               Content content = Content::kQuadrants);
  SampleWindow(const SampleWindow&) = delete;
  SampleWindow& operator=(const SampleWindow&) = delete;
  ~SampleWindow();

  HWND hwnd() const { return window_; }
  // Brings the window to the front and waits until it is the foreground window and painted.
  bool BringToFront(DWORD timeout_ms = 5000);
  // Processes this thread's waiting messages.
  static void Pump();

  // Colours of the quadrants: 0 top left, 1 top right, 2 bottom left, 3 bottom right.
  static COLORREF QuadrantColour(int quadrant);

 private:
  HWND window_ = nullptr;
};

// A topmost window of one colour over a rectangle of the screen, which never takes the focus: something
// that lies over the window in front without being the window in front.
class CoverWindow {
 public:
  CoverWindow(const RECT& screen_area, COLORREF colour);
  CoverWindow(const CoverWindow&) = delete;
  CoverWindow& operator=(const CoverWindow&) = delete;
  ~CoverWindow();

  HWND hwnd() const { return window_; }

 private:
  HWND window_ = nullptr;
};

struct DialogInfo {
  std::wstring caption;
  std::wstring text;
  std::vector<int> buttons;  // IDs of the visible buttons, in child order
  bool has_icon = false;
  // The system icon on the screen: "question", "exclamation", "error", "information", "other", or
  // empty for none. Read from the screen, so the box must be in view.
  std::wstring icon;
  HWND owner = nullptr;
  bool owner_visible = false;
  bool owner_topmost = false;
  std::wstring owner_class;
};

// Waits for a visible dialog box of the process; pumps this thread's messages meanwhile. Null on timeout
// or when the process ends first (process handle optional).
HWND WaitForDialog(DWORD process_id, DWORD timeout_ms, HANDLE process = nullptr);
DialogInfo ReadDialog(HWND dialog);

// A window's or control's text as it answers WM_GETTEXT, also across processes (an edit field's
// contents, which GetWindowText does not read there); empty when it does not answer within 2 s.
std::wstring ControlText(HWND window);
// Presses a button of a dialog of another process by its ID (IDOK, IDCANCEL, ...).
bool Press(HWND dialog, int button_id);
// Closes a dialog as its close button does.
bool Close(HWND dialog);

// What the screen shows over a rectangle: rows top-down, each pixel 0x00RRGGBB; empty when it cannot
// be read.
std::vector<uint32_t> ScreenPixels(const RECT& area);

// Clicks the middle of a window with the mouse, as a person would.
bool Click(HWND window);
// Presses the keys together, in order, as a person would, and lets them go in reverse order; the
// window in front gets them.
bool PressKeys(const std::vector<WORD>& virtual_keys);

// The visible top-level windows of a process (0: of any process) with the given class (empty class: any).
std::vector<HWND> WindowsOf(DWORD process_id, const std::wstring& class_name = {});

// Waits for a process to end, pumping this thread's messages; its exit code, or STILL_ACTIVE on timeout.
DWORD WaitForExit(HANDLE process, DWORD timeout_ms);

}  // namespace desktop
