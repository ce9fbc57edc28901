// Stands in for the program that opens mailto: links (a browser with webmail, the new Outlook):
// journals the link it is given and what the clipboard holds at that moment, then ends.
// Registered by the tests as the mailto open command: mailto_standin.exe JOURNAL LINK

#include <windows.h>
#include <shellapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstring>
#include <string>

#include "standin/journal.h"

namespace {

using Microsoft::WRL::ComPtr;

// The size of a PNG file, as the imaging component decodes it; empty when it does not.
std::wstring PngSize(const void* bytes, SIZE_T size) {
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return {};
  std::memcpy(::GlobalLock(copy), bytes, size);
  ::GlobalUnlock(copy);
  ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    ::GlobalFree(copy);
    return {};
  }
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), &GUID_VendorMicrosoft, WICDecodeMetadataCacheOnDemand,
                                              &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(&width, &height)))
    return {};
  return std::to_wstring(width) + L"x" + std::to_wstring(height);
}

// What the clipboard holds: a bitmap and its size, or nothing of use; and a PNG and its size.
std::wstring ClipboardContents() {
  if (!::OpenClipboard(nullptr)) return L"clipboard: not opened";
  std::wstring contents = L"clipboard: no bitmap";
  if (HANDLE data = ::GetClipboardData(CF_BITMAP)) {
    BITMAP bitmap{};
    if (::GetObjectW(data, sizeof bitmap, &bitmap) == sizeof bitmap)
      contents = L"clipboard: bitmap " + std::to_wstring(bitmap.bmWidth) + L"x" + std::to_wstring(bitmap.bmHeight);
  }
  std::wstring png = L"no PNG";
  if (HANDLE data = ::GetClipboardData(::RegisterClipboardFormatW(L"PNG"))) {
    const void* bytes = ::GlobalLock(data);
    const std::wstring size = bytes ? PngSize(bytes, ::GlobalSize(data)) : L"";
    if (bytes) ::GlobalUnlock(data);
    png = size.empty() ? L"PNG not decoded" : L"PNG " + size;
  }
  ::CloseClipboard();
  return contents + L", " + png;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!arguments || count < 3) return 2;
  const std::wstring journal = arguments[1];
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  standin::AppendJournal(journal, std::wstring(L"link: ") + arguments[2]);
  standin::AppendJournal(journal, ClipboardContents());
  ::LocalFree(arguments);
  return 0;
}
