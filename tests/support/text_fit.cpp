#include "support/text_fit.h"

#include "support/orvane_process.h"

namespace testing_support {

std::wstring TextFitReport(HWND window) {
  const std::wstring name = TextFitMemoryName(window);
  constexpr DWORD kRoom = 64 * 1024;
  HANDLE shared = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRoom, name.c_str());
  HMODULE probe = ::LoadLibraryW((BuildFolder() + L"\\text_fit_probe.dll").c_str());
  auto hook_procedure = probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(probe, "TextFitHook"))) : nullptr;
  HHOOK hook = hook_procedure && shared ? ::SetWindowsHookExW(WH_CALLWNDPROC, hook_procedure, probe,
                                                                ::GetWindowThreadProcessId(window, nullptr))
                                        : nullptr;
  std::wstring report = L"(not measured)";
  if (hook) {
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, ::RegisterWindowMessageW(kMeasureTextsMessage), 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    ::UnhookWindowsHookEx(hook);
    if (const void* view = ::MapViewOfFile(shared, FILE_MAP_READ, 0, 0, kRoom)) {
      report.assign(static_cast<const wchar_t*>(view), ::wcsnlen(static_cast<const wchar_t*>(view), kRoom / sizeof(wchar_t)));
      ::UnmapViewOfFile(view);
    }
  }
  if (probe) ::FreeLibrary(probe);
  if (shared) ::CloseHandle(shared);
  return report;
}

std::vector<std::wstring> CutOffTexts(HWND window) {
  const std::wstring report = TextFitReport(window);
  size_t line_end = report.find(L'\x1E');
  if (report.rfind(L"measured ", 0) != 0 || report.rfind(L"measured 0", 0) == 0) {
    return {L"(nothing was measured: " + report.substr(0, line_end) + L")"};
  }
  std::vector<std::wstring> cut_off;
  while (line_end != std::wstring::npos) {
    const size_t next = report.find(L'\x1E', line_end + 1);
    cut_off.push_back(report.substr(line_end + 1, next == std::wstring::npos ? std::wstring::npos : next - line_end - 1));
    line_end = next;
  }
  return cut_off;
}

}  // namespace testing_support
