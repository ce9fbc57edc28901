#pragma once
// Message boxes, the message pump and the screen as the program's forms measure it.

#include <windows.h>

#include <string>
#include <string_view>

namespace rt {

// A message box titled with the application title unless another title is given, owned by the
// program's owner window while one is set, else by the thread's active window. Returns the button
// pressed. With MB_SETFOREGROUND, a box that the system keeps from the foreground once it is shown is
// made easy to find (ShowWhereToFind).
int MsgBox(std::wstring_view prompt, UINT style = MB_OK, std::wstring_view title = {});

// For a box that did not get the foreground: a taskbar button if it has none, and the button and the
// box flashing until the user comes to it.
void ShowWhereToFind(HWND box);

// The window that owns the program's message boxes (null: none). An owned box stays above its owner,
// so a topmost owner keeps it in front of a window another program has just activated.
void SetMessageOwner(HWND owner);

// Processes the window messages that are waiting, once, without waiting for more.
void DoEvents();

// Screen size and pixel size in twips (1440 per logical inch).
float ScreenWidthTwips();
float ScreenHeightTwips();
float TwipsPerPixelX();
float TwipsPerPixelY();

// Seconds since midnight, local time, to the millisecond.
float Timer();

}  // namespace rt
