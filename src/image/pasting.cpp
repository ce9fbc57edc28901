// The picture on the clipboard for pasting into a mail: "PNG" and CF_DIB.

#include "image/pasting.h"

#include <wincodec.h>

#include <cstring>

#include "platform/win/com.h"
#include "platform/win/unique.h"

namespace pasting {
namespace {

size_t RowBytes(const cDIBSection& image) {
  return static_cast<size_t>(image.BytesPerScanLine());
}
size_t PixelBytes(const cDIBSection& image) {
  return RowBytes(image) * static_cast<size_t>(image.Height());
}

// Movable global memory holding a copy of the bytes, as the clipboard takes data.
win::HGlobal GlobalCopy(const void* first, size_t first_size, const void* second = nullptr,
                        size_t second_size = 0) {
  win::HGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, first_size + second_size));
  if (!memory) return memory;
  auto* bytes = static_cast<unsigned char*>(::GlobalLock(memory.get()));
  if (!bytes) return win::HGlobal();
  std::memcpy(bytes, first, first_size);
  if (second_size) std::memcpy(bytes + first_size, second, second_size);
  ::GlobalUnlock(memory.get());
  return memory;
}

// A packed DIB: the header, then the rows bottom-up as the image keeps them.
win::HGlobal PackedDib(const cDIBSection& image) {
  const BITMAPINFOHEADER header{.biSize = sizeof(BITMAPINFOHEADER),
                                .biWidth = image.Width(),
                                .biHeight = image.Height(),
                                .biPlanes = 1,
                                .biBitCount = 24,
                                .biCompression = BI_RGB,
                                .biSizeImage = static_cast<DWORD>(PixelBytes(image)),
                                .biXPelsPerMeter = 0,
                                .biYPelsPerMeter = 0,
                                .biClrUsed = 0,
                                .biClrImportant = 0};
  return GlobalCopy(&header, sizeof header, image.DIBSectionBitsPtr(), PixelBytes(image));
}

// The clipboard is open to one window at a time; a clipboard viewer or manager may hold it for a
// moment after every change ("OpenClipboard": fails while another window has it open). Asked a few
// times, briefly, before giving up.
bool OpenClipboardPatiently(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (::OpenClipboard(owner)) return true;
    ::Sleep(50);
  }
  return false;
}

}  // namespace

std::string PngFile(const cDIBSection& image) {
  if (!image.DIBSectionBitsPtr() || image.Width() <= 0 || image.Height() <= 0) return {};
  win::ComApartment apartment;
  win::ComPtr<IWICImagingFactory> factory;
  if (FAILED(
          ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return {};
  win::ComPtr<IStream> stream;
  if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return {};
  win::ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder))) return {};
  if (FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache))) return {};
  win::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder->CreateNewFrame(&frame, nullptr))) return {};
  if (FAILED(frame->Initialize(nullptr))) return {};
  const UINT width = static_cast<UINT>(image.Width());
  const UINT height = static_cast<UINT>(image.Height());
  if (FAILED(frame->SetSize(width, height))) return {};
  // The image's own layout, three bytes per pixel in the order blue, green, red; an encoder that
  // would want another gets none.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat24bppBGR) return {};
  // The encoder takes the rows top-down; the image keeps them bottom-up.
  const UINT stride = static_cast<UINT>(RowBytes(image));
  auto* const bits = static_cast<BYTE*>(image.DIBSectionBitsPtr());
  for (UINT row = 0; row < height; ++row) {
    if (FAILED(frame->WritePixels(1, stride, stride, bits + static_cast<size_t>(height - 1 - row) * stride)))
      return {};
  }
  if (FAILED(frame->Commit())) return {};
  if (FAILED(encoder->Commit())) return {};
  STATSTG status{};
  if (FAILED(stream->Stat(&status, STATFLAG_NONAME))) return {};
  HGLOBAL memory = nullptr;
  if (FAILED(::GetHGlobalFromStream(stream.Get(), &memory))) return {};
  const auto* bytes = static_cast<const char*>(::GlobalLock(memory));
  if (!bytes) return {};
  std::string png(bytes, static_cast<size_t>(status.cbSize.QuadPart));
  ::GlobalUnlock(memory);
  return png;
}

bool PutOnClipboard(const cDIBSection& image) {
  if (!image.DIBSectionBitsPtr()) return false;
  const std::string png = PngFile(image);  // none where the imaging component fails: the DIB still goes
  win::HGlobal png_data = png.empty() ? win::HGlobal() : GlobalCopy(png.data(), png.size());
  win::HGlobal dib_data = PackedDib(image);
  if (!png_data && !dib_data) return false;
  // EmptyClipboard makes the window that opened the clipboard its owner, and with no window
  // SetClipboardData fails ("Remarks" of OpenClipboard). A message-only window of this call serves;
  // what it put on the clipboard stays there after it is gone, as it is not rendered on demand.
  win::Window owner(
      ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  if (!OpenClipboardPatiently(owner.get())) return false;
  bool taken = false;
  if (::EmptyClipboard()) {
    // "PNG" first: programs that read several formats take the first one they know. It is the one
    // browsers look for, and the one Wine hands to X11 programs (as image/png).
    if (png_data && ::SetClipboardData(::RegisterClipboardFormatW(L"PNG"), png_data.get())) {
      (void)png_data.release();  // the clipboard owns it from here on
      taken = true;
    }
    if (dib_data && ::SetClipboardData(CF_DIB, dib_data.get())) {
      (void)dib_data.release();
      taken = true;
    }
  }
  ::CloseClipboard();
  return taken;  // what the clipboard refused is freed by its owner here
}

}  // namespace pasting
