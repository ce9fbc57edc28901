#pragma once
// Wine's Windows version per program, for running one executable as Windows 7 and as Windows 10.

#include <optional>
#include <string>

namespace testing_support {

// Whether this process runs under Wine.
bool UnderWine();

// Sets HKCU\Software\Wine\AppDefaults\<exe_name>\Version ("win7", "win10") for as long as the object
// lives, and puts back what was there. Wine reads it when a process of that name starts; Windows
// ignores the key.
class WineVersionFor {
 public:
  WineVersionFor(const std::wstring& exe_name, const std::wstring& version);
  WineVersionFor(const WineVersionFor&) = delete;
  WineVersionFor& operator=(const WineVersionFor&) = delete;
  ~WineVersionFor();

 private:
  std::wstring key_;
  std::optional<std::wstring> previous_;
};

}  // namespace testing_support
