// Command-line front end to the image class and the JPEG writer, for scripts and benchmarks.
//
//   dibtool resample IN.bmp NEW_WIDTH NEW_HEIGHT OUT.bmp
//   dibtool noise IN.bmp gray|colour OUT.bmp
//   dibtool jpeg IN.bmp OUT.jpg [QUALITY]
//   dibtool clipboard IN.bmp
//
// Pictures are uncompressed 24-bit bottom-up BMP files. A raised error is reported with its number and
// description, and the exit code is 1; a usage or file-format problem exits with 2.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "platform/runtime/errors.h"
#include "platform/win/com.h"

namespace {

struct UsageError {
  std::wstring message;
};

std::vector<uint8_t> ReadFileBytes(const std::wstring& path) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw UsageError{L"cannot open " + path};
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file, &size);
  if (size.QuadPart > (1LL << 31)) {
    ::CloseHandle(file);
    throw UsageError{path + L" is too large"};
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  BOOL ok = bytes.empty() || ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  ::CloseHandle(file);
  if (!ok || got != bytes.size()) throw UsageError{L"cannot read " + path};
  return bytes;
}

void LoadBmp(const std::wstring& path, cDIBSection& image) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  if (bytes.size() < sizeof file + sizeof info) throw UsageError{path + L" is not a BMP file"};
  std::memcpy(&file, bytes.data(), sizeof file);
  std::memcpy(&info, bytes.data() + sizeof file, sizeof info);
  if (file.bfType != 0x4D42 || info.biSize < sizeof info) throw UsageError{path + L" is not a BMP file"};
  if (info.biBitCount != 24 || info.biCompression != BI_RGB || info.biPlanes != 1)
    throw UsageError{path + L": only uncompressed 24-bit BMP files are supported"};
  if (info.biHeight <= 0 || info.biWidth <= 0) throw UsageError{path + L": only bottom-up BMP files are supported"};
  if (!image.Create(info.biWidth, info.biHeight)) throw UsageError{path + L": the image is too large"};
  const uint64_t stride = static_cast<uint64_t>(image.BytesPerScanLine());
  const uint64_t needed = stride * static_cast<uint64_t>(info.biHeight);
  if (file.bfOffBits > bytes.size() || bytes.size() - file.bfOffBits < needed)
    throw UsageError{path + L": the file is shorter than its pixels"};
  std::memcpy(image.DIBSectionBitsPtr(), bytes.data() + file.bfOffBits, static_cast<size_t>(needed));
}

void SaveBmp(const std::wstring& path, const cDIBSection& image) {
  const DWORD pixels = static_cast<DWORD>(image.BytesPerScanLine()) * static_cast<DWORD>(image.Height());
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = image.Width();
  info.biHeight = image.Height();
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = pixels;
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + pixels;
  HANDLE out = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) throw UsageError{L"cannot create " + path};
  DWORD written = 0;
  bool ok = ::WriteFile(out, &file, sizeof file, &written, nullptr) && ::WriteFile(out, &info, sizeof info, &written, nullptr) &&
            ::WriteFile(out, image.DIBSectionBitsPtr(), pixels, &written, nullptr) && written == pixels;
  ::CloseHandle(out);
  if (!ok) throw UsageError{L"cannot write " + path};
}

long Number(const wchar_t* text) {
  wchar_t* end = nullptr;
  long value = std::wcstol(text, &end, 10);
  if (!end || *end) throw UsageError{std::wstring(L"not a number: ") + text};
  return value;
}

int Usage() {
  std::fwprintf(stderr,
                L"usage: dibtool resample IN.bmp NEW_WIDTH NEW_HEIGHT OUT.bmp\n"
                L"       dibtool noise IN.bmp gray|colour OUT.bmp\n"
                L"       dibtool jpeg IN.bmp OUT.jpg [QUALITY]\n"
                L"       dibtool clipboard IN.bmp\n");
  return 2;
}

int Run(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  const std::wstring command = argv[1];
  cDIBSection image;
  if (command == L"resample" && argc == 6) {
    LoadBmp(argv[2], image);
    std::unique_ptr<cDIBSection> resized = image.Resample(Number(argv[4]), Number(argv[3]));
    if (!resized) throw UsageError{L"the new size cannot be made"};
    SaveBmp(argv[5], *resized);
  } else if (command == L"noise" && argc == 5) {
    const std::wstring kind = argv[3];
    if (kind != L"gray" && kind != L"colour") return Usage();
    LoadBmp(argv[2], image);
    image.RandomiseBits(kind == L"gray");
    SaveBmp(argv[4], image);
  } else if (command == L"jpeg" && (argc == 4 || argc == 5)) {
    LoadBmp(argv[2], image);
    long quality = argc == 5 ? Number(argv[4]) : 60;
    mIntelJPEGLibrary::WriteJpegFile(image, argv[3], quality);
  } else if (command == L"clipboard" && argc == 3) {
    LoadBmp(argv[2], image);
    if (!image.CopyToClipboard(false)) throw UsageError{L"the clipboard did not take the bitmap"};
  } else {
    return Usage();
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  win::ComApartment apartment;
  try {
    return Run(argc, argv);
  } catch (const UsageError& error) {
    std::fwprintf(stderr, L"dibtool: %ls\n", error.message.c_str());
    return 2;
  } catch (const rt::Error& error) {
    std::fwprintf(stderr, L"dibtool: error %ld: %ls\n", error.number(), error.description().c_str());
    return 1;
  }
}
