// The stand-in's windows: an Inbox explorer and one window per displayed mail.

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <string>
#include <vector>

#include "standin/outlook/standin.h"

namespace standin {
namespace {

using Microsoft::WRL::ComPtr;

using names::kControlClass;
using names::kExplorerClass;
using names::kMailClass;
constexpr int kThumbWidth = 320, kThumbHeight = 200;

HWND g_active_explorer = nullptr;
bool g_quit_requested = false;

struct MailWindow {
  MailContents mail;
  HBITMAP thumbnail = nullptr;
  int thumb_width = 0, thumb_height = 0;
};

std::wstring FileName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// A picture of the attachment scaled to fit the thumbnail box, or null when it is no picture.
HBITMAP LoadThumbnail(const std::wstring& path, int& width, int& height) {
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return nullptr;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)))
    return nullptr;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT source_width = 0, source_height = 0;
  if (FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&source_width, &source_height)) ||
      source_width == 0 || source_height == 0)
    return nullptr;
  double scale = std::min(1.0, std::min(double(kThumbWidth) / source_width, double(kThumbHeight) / source_height));
  width = std::max(1, static_cast<int>(source_width * scale));
  height = std::max(1, static_cast<int>(source_height * scale));
  ComPtr<IWICBitmapScaler> scaler;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(frame.Get(), static_cast<UINT>(width), static_cast<UINT>(height),
                                WICBitmapInterpolationModeFant)) ||
      FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down, as WIC hands rows over
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return nullptr;
  UINT stride = static_cast<UINT>(width) * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height), static_cast<BYTE*>(bits)))) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  return bitmap;
}

void PaintLines(HDC dc, int x, int& y, const std::wstring& text) {
  ::TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
  y += 20;
}

LRESULT CALLBACK ExplorerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      int y = 12;
      ::SetBkMode(dc, TRANSPARENT);
      PaintLines(dc, 12, y, L"Inbox");
      PaintLines(dc, 12, y, L"(mail program stand-in: no messages)");
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      if (g_active_explorer == window) g_active_explorer = nullptr;
      WindowClosed();
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK MailProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<MailWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = ::BeginPaint(window, &paint);
      ::SetBkMode(dc, TRANSPARENT);
      int y = 12;
      if (state) {
        PaintLines(dc, 12, y, L"To:       " + state->mail.to);
        PaintLines(dc, 12, y, L"Subject:  " + state->mail.subject);
        std::wstring files;
        for (const auto& path : state->mail.attachments) files += (files.empty() ? L"" : L"; ") + FileName(path);
        PaintLines(dc, 12, y, L"Attached: " + files);
        if (state->thumbnail) {
          HDC memory = ::CreateCompatibleDC(dc);
          HGDIOBJ old = ::SelectObject(memory, state->thumbnail);
          ::BitBlt(dc, 12, y + 6, state->thumb_width, state->thumb_height, memory, 0, 0, SRCCOPY);
          ::SelectObject(memory, old);
          ::DeleteDC(memory);
        }
      }
      ::EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      if (state) {
        if (state->thumbnail) ::DeleteObject(state->thumbnail);
        delete state;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      }
      WindowClosed();
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpfnWndProc = ExplorerProc;
  window_class.lpszClassName = kExplorerClass;
  ::RegisterClassExW(&window_class);
  window_class.lpfnWndProc = MailProc;
  window_class.lpszClassName = kMailClass;
  ::RegisterClassExW(&window_class);
}

BOOL CALLBACK CloseIfStandIn(HWND window, LPARAM) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  if (::lstrcmpW(name, kExplorerClass) == 0 || ::lstrcmpW(name, kMailClass) == 0 || ::lstrcmpW(name, kControlClass) == 0)
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// A hidden window per server that /Quit can reach even when the server shows nothing: closing it
// ends the server at once, whoever still holds its objects.
LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    g_quit_requested = true;
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

HWND CreateExplorerWindow(const std::wstring& folder_name) {
  RegisterClasses();
  HWND window = ::CreateWindowExW(0, kExplorerClass, (folder_name + L" - Mail (stand-in)").c_str(),
                                  WS_OVERLAPPEDWINDOW, 40, 40, 520, 360, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window) WindowOpened();
  return window;
}

HWND ActiveExplorerWindow() {
  return g_active_explorer && ::IsWindow(g_active_explorer) ? g_active_explorer : nullptr;
}

void ActivateExplorer(HWND explorer) {
  ::ShowWindow(explorer, IsIconic(explorer) ? SW_RESTORE : SW_SHOW);
  ::SetForegroundWindow(explorer);
  g_active_explorer = explorer;
}

void SetExplorerState(HWND explorer, LONG state) {
  // 0 maximised, 1 minimised, 2 normal.
  ::ShowWindow(explorer, state == 0 ? SW_MAXIMIZE : state == 1 ? SW_MINIMIZE : SW_RESTORE);
  g_active_explorer = explorer;
}

LONG ExplorerState(HWND explorer) {
  if (::IsIconic(explorer)) return 1;
  if (::IsZoomed(explorer)) return 0;
  return 2;
}

void ShowMailWindow(const MailContents& mail) {
  RegisterClasses();
  auto* state = new MailWindow{mail, nullptr, 0, 0};
  if (!mail.attachments.empty()) state->thumbnail = LoadThumbnail(mail.attachments.front(), state->thumb_width, state->thumb_height);
  std::wstring title = (mail.subject.empty() ? std::wstring(L"Untitled") : mail.subject) + L" - Message";
  HWND window = ::CreateWindowExW(0, kMailClass, title.c_str(), WS_OVERLAPPEDWINDOW, 200, 120, 640, 320 + kThumbHeight - 140,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), state);
  if (!window) {
    if (state->thumbnail) ::DeleteObject(state->thumbnail);
    delete state;
    return;
  }
  WindowOpened();
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetForegroundWindow(window);
  ::UpdateWindow(window);
}

bool QuitRequested() { return g_quit_requested; }

bool CloseAllStandInWindows() {
  std::vector<HANDLE> servers;
  ::EnumWindows(
      [](HWND window, LPARAM list) {
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        DWORD process_id = 0;
        ::GetWindowThreadProcessId(window, &process_id);
        if (::lstrcmpW(name, kControlClass) == 0 && process_id != ::GetCurrentProcessId()) {
          if (HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, process_id)) {
            reinterpret_cast<std::vector<HANDLE>*>(list)->push_back(process);
          }
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&servers));
  ::EnumWindows(CloseIfStandIn, 0);
  bool ended = true;
  for (HANDLE server : servers) {
    ended = ::WaitForSingleObject(server, 10000) == WAIT_OBJECT_0 && ended;
    ::CloseHandle(server);
  }
  return ended;
}

HWND CreateControlWindow() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpfnWndProc = ControlProc;
  window_class.lpszClassName = kControlClass;
  ::RegisterClassExW(&window_class);
  return ::CreateWindowExW(WS_EX_TOOLWINDOW, kControlClass, L"Mail stand-in", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                           ::GetModuleHandleW(nullptr), nullptr);
}

}  // namespace standin
