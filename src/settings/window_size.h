#pragma once
// Sizing a dialog to the texts it was laid out for.

#include <windows.h>

namespace installer {

// Gives the dialog a client area of `width` x `height`, the window centred where it was centred and
// kept on the work area of its screen, and draws it again.
void ResizeKeepingCentre(HWND dialog, int width, int height);

}  // namespace installer
