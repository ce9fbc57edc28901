#pragma once
// Start-menu and other shortcuts (.lnk), read as the shell reads them.

#include <windows.h>

#include <string>

namespace testing_support {

struct Link {
  std::wstring target, arguments;
  WORD hotkey = 0;
};

// The shortcut's target, arguments and keys; empty and 0 where it cannot be read.
Link ReadLink(const std::wstring& path);

}  // namespace testing_support
