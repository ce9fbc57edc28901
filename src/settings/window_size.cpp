#include "settings/window_size.h"

#include <algorithm>

namespace installer {

void ResizeKeepingCentre(HWND dialog, int width, int height) {
  RECT frame{0, 0, width, height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  RECT now{};
  ::GetWindowRect(dialog, &now);
  const int frame_width = frame.right - frame.left, frame_height = frame.bottom - frame.top;
  int left = (now.left + now.right - frame_width) / 2, top = (now.top + now.bottom - frame_height) / 2;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (::GetMonitorInfoW(::MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& work = monitor.rcWork;
    left = std::max<int>(work.left, std::min<int>(left, work.right - frame_width));
    top = std::max<int>(work.top, std::min<int>(top, work.bottom - frame_height));
  }
  ::SetWindowPos(dialog, nullptr, left, top, frame_width, frame_height, SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(dialog, nullptr, TRUE);
}

}  // namespace installer
