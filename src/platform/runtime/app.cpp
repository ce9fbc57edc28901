#include "platform/runtime/app.h"

#include <windows.h>

#include "platform/runtime/errors.h"

namespace rt::App {
namespace {

std::wstring ModuleFileName() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);  // truncated: long paths go beyond MAX_PATH
  }
}

struct Names {
  std::wstring path;
  std::wstring exe_name;
};

const Names& Module() {
  static const Names names = [] {
    Names n;
    std::wstring full = ModuleFileName();
    size_t slash = full.find_last_of(L"\\/");
    std::wstring file = slash == std::wstring::npos ? full : full.substr(slash + 1);
    n.path = slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
    if (n.path.size() == 2 && n.path[1] == L':') n.path += L'\\';
    size_t dot = file.find_last_of(L'.');
    n.exe_name = dot == std::wstring::npos ? file : file.substr(0, dot);
    return n;
  }();
  return names;
}

}  // namespace

const std::wstring& Path() { return Module().path; }
const std::wstring& EXEName() { return Module().exe_name; }
const std::wstring& Title() {
  static const std::wstring title = L"Orvane";
  return title;
}

}  // namespace rt::App

namespace rt {
std::wstring RuntimeErrorSource() { return App::EXEName(); }
}  // namespace rt
