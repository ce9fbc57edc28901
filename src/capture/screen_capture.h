#pragma once
// Copies a window's pixels into a bitmap owned by a standard picture object.

#include <windows.h>
#include <ole2.h>

#include <optional>

#include "platform/win/com.h"

namespace modScreenCapture {

// The picture object (IPictureDisp); empty when the platform could not make one.
using Picture = win::ComPtr<IDispatch>;

// The whole foreground window, frame and title bar included: on a composited desktop as it is
// displayed, read from the screen over its visible frame; otherwise from the window's own context.
Picture GrabForegroundWindow();
// The same for the window the caller found in front, so that whatever else it reads of that window
// names the one in the picture even if another comes to the front meanwhile.
Picture GrabForegroundWindow(HWND window);
// width x height pixels from (lLeft, lTop) of the whole window, or of its client area when bClient.
Picture GrabWindowImage(HWND hWnd, bool bClient, LONG lLeft, LONG lTop, LONG lWidth, LONG lHeight);
// The pixels of a screen rectangle as they are displayed, windows lying over it included; on a 32-bit
// display the picture's bitmap is a 32-bit DIB section, which the conversion reads without a blit.
Picture GrabScreenArea(const RECT& area);
// Wraps a bitmap and palette (null when there is none) in a picture that owns and deletes them.
// Ownership passes in on every path: if no picture can be made, both are deleted here.
Picture WrapBitmapAsPicture(HBITMAP hBmp, HPALETTE hPal);

// What the platform said of the window in front, for choosing the screen rectangle to copy.
struct WindowFacts {
  bool present = false;                  // there is a foreground window
  bool minimised = false;                // it is iconic: what the screen shows of it is not the window
  bool cloaked = false;                  // the compositor does not show it (another virtual desktop, ...)
  RECT window_rect{};                    // GetWindowRect: may include invisible resize borders
  std::optional<RECT> visible_frame;     // the window manager's extended frame bounds, when it answered
  std::optional<RECT> maximised_within;  // the work area of its monitor, when the window is maximised
};
// The visible frame (else the window rectangle), kept inside the work area of a maximised window's
// monitor; all zero when there is no window.
RECT CaptureRectangle(const WindowFacts& facts);
// What the platform says of a window now.
WindowFacts FactsOf(HWND window);
// Whether the window shows anything to take a picture of: it exists, is neither minimised nor
// cloaked, and has an area. The desktop and the taskbar do.
bool ShowsSomething(const WindowFacts& facts);

}  // namespace modScreenCapture
