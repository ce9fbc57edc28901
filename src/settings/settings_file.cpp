#include "settings/settings_file.h"

#include <windows.h>

#include <cwchar>

#include "text/text.h"

namespace installer {

namespace {

ini::CodePage SystemCodePage() {
  return {[](std::wstring_view text) -> std::optional<std::string> {
            if (text.empty()) return std::string();
            BOOL lost = FALSE;
            const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                                     nullptr, 0, nullptr, &lost);
            if (length <= 0 || lost) return std::nullopt;
            std::string bytes(static_cast<size_t>(length), '\0');
            ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), bytes.data(),
                                  length, nullptr, &lost);
            return lost ? std::nullopt : std::optional<std::string>(bytes);
          },
          [](std::string_view bytes) {
            if (bytes.empty()) return std::wstring();
            const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
            std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
            ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
            return text;
          }};
}

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { close(); }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool close() {
    const bool closed = !valid() || ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The file's bytes; an empty text for a file that does not exist. False with Windows' error.
bool ReadBytes(const std::wstring& path, std::string& bytes, DWORD& error) {
  Handle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) {
      bytes.clear();
      return true;
    }
    return false;
  }
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > (1 << 24)) {
    error = size.QuadPart > (1 << 24) ? ERROR_FILE_TOO_LARGE : ::GetLastError();
    return false;
  }
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                         read != bytes.size())) {
    error = read != bytes.size() && ::GetLastError() == ERROR_SUCCESS ? ERROR_READ_FAULT : ::GetLastError();
    return false;
  }
  return true;
}

Written Refused(DWORD error) { return {false, error, SystemText(error)}; }

}  // namespace

std::wstring SystemText(unsigned long error_or_hresult) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error_or_hresult), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!words.empty() &&
         (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ' || words.back() == L'.'))
    words.pop_back();
  if (!words.empty()) return words;
  wchar_t number[24];
  ::swprintf(number, 24, L"error 0x%08lX", error_or_hresult);
  return number;
}

std::wstring ReadSettingValue(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
  constexpr DWORD kRoom = 32768;
  std::wstring value(kRoom, L'\0');
  ::GetPrivateProfileStringW(section.c_str(), key.c_str(), L"", value.data(), kRoom, path.c_str());
  value.resize(std::wcslen(value.c_str()));
  return value;
}

Written WriteSettings(const std::wstring& path, const std::vector<ini::Change>& changes) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  // Windows refuses to replace a read-only file for anyone; asked first, so that the answer does not
  // depend on who runs this (Wine lets its root user write it).
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    return {false, 0, text::Get(text::Id::kSettings_FileReadOnly)};
  }
  std::string bytes;
  DWORD error = 0;
  if (!ReadBytes(path, bytes, error)) return Refused(error);
  const ini::Edited edited = ini::Edit(bytes, changes, SystemCodePage());
  if (!edited.unsaid.empty()) return {false, 0, text::Format(text::Id::kSettings_CodePage, edited.unsaid.front())};
  if (!edited.changed) return {true, 0, L""};

  // Beside the file, so that putting it in place is a rename within the folder.
  const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
  wchar_t name[40];
  ::swprintf(name, 40, L"Orvane.ini.%08lx.new", ::GetTickCount() ^ ::GetCurrentProcessId());
  const std::wstring temporary = folder + name;
  {
    Handle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Refused(::GetLastError());
    DWORD written = 0;
    const bool whole = ::WriteFile(file.get(), edited.bytes.data(), static_cast<DWORD>(edited.bytes.size()), &written, nullptr) &&
                       written == edited.bytes.size() && ::FlushFileBuffers(file.get());
    error = whole ? ERROR_SUCCESS : ::GetLastError();
    if (!file.close() && whole) error = ::GetLastError();
    if (error != ERROR_SUCCESS || !whole) {
      ::DeleteFileW(temporary.c_str());
      return Refused(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    }
  }
  // ReplaceFile keeps the old file's attributes, permissions and creation time; a new file is moved.
  const bool placed = attributes != INVALID_FILE_ATTRIBUTES
                          ? ::ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                          : ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
  if (!placed) {
    error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    return Refused(error);
  }
  return {true, 0, L""};
}

}  // namespace installer
