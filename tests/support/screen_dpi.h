#pragma once
// The screen's scale for the programs a test starts, set in the registry as the display settings set it.

#include <windows.h>

namespace testing_support {

// The screen's scale for the programs started meanwhile (96 is 100%, 144 is 150%).
class ScreenDpi {
 public:
  explicit ScreenDpi(DWORD dpi) {
    DWORD size = sizeof before_;
    had_ = ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &before_, &size) == ERROR_SUCCESS;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
  }
  ScreenDpi(const ScreenDpi&) = delete;
  ScreenDpi& operator=(const ScreenDpi&) = delete;
  ~ScreenDpi() {
    if (had_) {
      ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels", REG_DWORD, &before_, sizeof before_);
    } else {
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"LogPixels");
    }
  }

 private:
  static constexpr wchar_t kKey[] = L"Control Panel\\Desktop";
  DWORD before_ = 0;
  bool had_ = false;
};

}  // namespace testing_support
