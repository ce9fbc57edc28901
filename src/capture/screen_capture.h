#pragma once
// Copies a window's pixels into a bitmap owned by a standard picture object.

#include <windows.h>
#include <ole2.h>

#include "platform/win/com.h"

namespace modScreenCapture {

// The picture object (IPictureDisp); empty when the platform could not make one.
using Picture = win::ComPtr<IDispatch>;

// The whole foreground window, frame and title bar included.
Picture GrabForegroundWindow();
// width x height pixels from (lLeft, lTop) of the whole window, or of its client area when bClient.
Picture GrabWindowImage(HWND hWnd, bool bClient, LONG lLeft, LONG lTop, LONG lWidth, LONG lHeight);
// Wraps a bitmap and palette (null when there is none) in a picture that owns and deletes them.
// Ownership passes in on every path: if no picture can be made, both are deleted here.
Picture WrapBitmapAsPicture(HBITMAP hBmp, HPALETTE hPal);

}  // namespace modScreenCapture
