#pragma once
// The window in front when a run starts: whether it is one of our own boxes, and its title; and the
// other runs a press can find, so that the user is never asked twice at once.

#include <windows.h>

#include <string>

#include "platform/win/unique.h"

namespace modMain {

// The question or message that a run of this program (any copy) shows, when `front` is one of them
// or belongs to one; null for every other window, and for a run's hidden form with no box open.
HWND BoxOfAnotherRun(HWND front);

// The hidden form of another run when it is in front with no box of that run open: the run is past
// its question and works with the mail program; null otherwise.
HWND BusyRunOf(HWND front);

// A visible message box of the process that owns `window`, owned or not (the question whether to keep
// waiting for the mail program has no owner); null when it shows none.
HWND OpenBoxOfRun(HWND window);

// The turn to ask: one run at a time, for every copy of the program in the session. A run takes it
// before it looks at the window in front and gives it back once its question is answered, so that
// runs started in the same instant (a key held down) ask once; the others bring the asking run's box
// forward instead. A run past its question has given the turn back: a press then, with the user's own
// window in front, is a new screenshot.
class AskingTurn {
 public:
  // Takes the turn if it is free, without waiting.
  AskingTurn();
  ~AskingTurn() { GiveBack(); }
  AskingTurn(const AskingTurn&) = delete;
  AskingTurn& operator=(const AskingTurn&) = delete;

  bool held() const { return held_; }
  // Waits up to `timeout_ms` for the turn; whether it is held now.
  bool Take(DWORD timeout_ms);
  // What the run that holds the turn shows: the question, or the message that there is nothing in
  // front to take a picture of.
  enum class Showing { kQuestion, kNothingInFront };
  // Marks the form whose box the other runs bring forward while the turn is held, with what it shows.
  void AskFrom(HWND form, Showing showing = Showing::kQuestion);
  void GiveBack();

 private:
  win::KernelHandle mutex_;
  HWND form_ = nullptr;
  bool held_ = false;
};

// The box of the run that holds the turn, anywhere on the desktop, covered or not, and what it shows;
// waited for while that run is still putting it up, for at most `timeout_ms`. A null box when none
// shows meanwhile.
struct AskingBox {
  HWND box = nullptr;
  AskingTurn::Showing showing = AskingTurn::Showing::kQuestion;
};
AskingBox BoxOfAskingRun(DWORD timeout_ms);

// Answers another run's message box with OK, as its button does.
void AnswerOk(HWND box);

// Shows a message (MB_OK) for as long as the run that owns `busy_form` goes on without a box of its
// own; when it ends or puts up a box, the message closes by itself, and that box is brought forward.
void ShowWhileRunWorks(const std::wstring& text, UINT style, HWND busy_form);

// Brings a box to the front; where the system refuses, flashes it so that it can be found.
void BringForward(HWND box);

// The window's title as the subject uses it: at most 511 characters.
std::wstring WindowTitle(HWND window);

// "Screen Capture: " + the title of `window`, or "Screen Capture" when it has none. A window that has
// closed since its picture was taken is named by the title read then.
std::wstring ForegroundSubject(HWND window, const std::wstring& title_at_capture);
// "Screen Capture: " + the foreground window's title (at most 511 characters), or "Screen Capture".
std::wstring ForegroundSubject();

}  // namespace modMain
