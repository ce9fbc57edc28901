#pragma once
// The window in front when a run starts: whether it is one of our own boxes, and its title.

#include <windows.h>

#include <string>

namespace modMain {

// The question or message that a run of this program (any copy) shows, when `front` is one of them
// or belongs to one; null for every other window.
HWND BoxOfAnotherRun(HWND front);

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
