#pragma once
// Scratch folders and files for tests.

#include <windows.h>

#include <string>
#include <string_view>

namespace testing_support {

// A fresh folder under the temporary folder, removed with everything in it when the object goes.
class TempFolder {
 public:
  explicit TempFolder(std::wstring_view name_hint = L"orvane");
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::wstring operator/(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }

 private:
  std::wstring path_;
};

void RemoveTree(const std::wstring& path);
void WriteBytes(const std::wstring& path, std::string_view bytes);
// UTF-16 little-endian with a byte-order mark, as Notepad saves "Unicode".
void WriteUtf16(const std::wstring& path, std::wstring_view text);
std::string ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);
// UTF-8 of a text, for test output and the stand-ins' journals.
std::string Utf8(std::wstring_view text);
// Names of the entries of a folder, sorted.
std::wstring ListFolder(const std::wstring& path);

}  // namespace testing_support
