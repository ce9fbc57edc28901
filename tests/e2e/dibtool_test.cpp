// dibtool.exe as scripts use it: BMP in, BMP or JPEG out, errors as numbers and exit codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/desktop.h"
#include "support/images.h"
#include "support/orvane_process.h"
#include "support/temp_folder.h"

namespace {

using testing_support::TempFolder;

struct Result {
  DWORD code;
  std::string output;
};

Result RunTool(const std::wstring& arguments) {
  std::wstring exe = testing_support::BuildFolder() + L"\\dibtool.exe";
  std::wstring command = L"\"" + exe + L"\" " + arguments;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read = nullptr, write = nullptr;
  ::CreatePipe(&read, &write, &inherit, 0);
  ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION info{};
  Result result{STILL_ACTIVE, {}};
  if (!::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    ::CloseHandle(read);
    ::CloseHandle(write);
    return result;
  }
  ::CloseHandle(write);
  // Read what is there rather than to the end: a service the tool wakes may keep the pipe open.
  auto drain = [&] {
    DWORD available = 0;
    while (::PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available) {
      char chunk[4096];
      DWORD got = 0;
      if (!::ReadFile(read, chunk, std::min<DWORD>(available, sizeof chunk), &got, nullptr) || !got) break;
      result.output.append(chunk, got);
    }
  };
  for (int i = 0; i < 3000 && ::WaitForSingleObject(info.hProcess, 10) == WAIT_TIMEOUT; ++i) drain();
  result.code = desktop::WaitForExit(info.hProcess, 1000);
  drain();
  ::CloseHandle(read);
  ::CloseHandle(info.hProcess);
  ::CloseHandle(info.hThread);
  return result;
}

// A bottom-up 24-bit BMP whose top row is white and the rest black.
void WriteBmp(const std::wstring& path, int32_t width, int32_t height, uint16_t bits = 24) {
  const int32_t stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = bits;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  for (int32_t row = 0; row < height; ++row) {
    std::string line(static_cast<size_t>(stride), '\0');
    if (row == height - 1) std::memset(line.data(), 0xFF, static_cast<size_t>(width) * 3);
    bytes += line;
  }
  testing_support::WriteBytes(path, bytes);
}

TEST(DibTool, ResamplesNoisesAndWritesJpegs) {
  TempFolder folder;
  WriteBmp(folder / L"in.bmp", 8, 6);
  Result r = RunTool(L"resample \"" + (folder / L"in.bmp") + L"\" 16 3 \"" + (folder / L"big.bmp") + L"\"");
  ASSERT_EQ(r.code, 0u) << r.output;
  auto big = testing_support::DecodeImageFile(folder / L"big.bmp");
  EXPECT_EQ(big.width, 16u);
  EXPECT_EQ(big.height, 3u);

  r = RunTool(L"noise \"" + (folder / L"in.bmp") + L"\" colour \"" + (folder / L"noise.bmp") + L"\"");
  ASSERT_EQ(r.code, 0u) << r.output;
  auto noise = testing_support::DecodeImageFile(folder / L"noise.bmp");
  ASSERT_EQ(noise.width, 8u);
  for (UINT y = 0; y < noise.height; ++y)
    for (UINT x = 0; x < noise.width; ++x) ASSERT_EQ(noise.At(x, y)[0], 0);

  r = RunTool(L"jpeg \"" + (folder / L"in.bmp") + L"\" \"" + (folder / L"out.jpg") + L"\"");
  ASSERT_EQ(r.code, 0u) << r.output;
  auto jpeg = testing_support::DecodeImageFile(folder / L"out.jpg");
  ASSERT_EQ(jpeg.width, 8u);
  EXPECT_GT(jpeg.At(3, 0)[1], 200);  // the white row is on top
}

TEST(DibTool, RejectsOtherFilesAndReportsRaisedErrors) {
  TempFolder folder;
  WriteBmp(folder / L"deep.bmp", 4, 4, 32);
  Result r = RunTool(L"jpeg \"" + (folder / L"deep.bmp") + L"\" \"" + (folder / L"x.jpg") + L"\"");
  EXPECT_EQ(r.code, 2u);
  EXPECT_NE(r.output.find("only uncompressed 24-bit BMP files"), std::string::npos) << r.output;
  testing_support::WriteBytes(folder / L"text.bmp", "not a picture at all, just text");
  r = RunTool(L"jpeg \"" + (folder / L"text.bmp") + L"\" \"" + (folder / L"x.jpg") + L"\"");
  EXPECT_EQ(r.code, 2u);
  EXPECT_NE(r.output.find("is not a BMP file"), std::string::npos) << r.output;

  WriteBmp(folder / L"line.bmp", 1, 5);
  r = RunTool(L"resample \"" + (folder / L"line.bmp") + L"\" 3 3 \"" + (folder / L"y.bmp") + L"\"");
  EXPECT_EQ(r.code, 1u);
  EXPECT_NE(r.output.find("error 9: Subscript out of range"), std::string::npos) << r.output;
  EXPECT_FALSE(testing_support::FileExists(folder / L"y.bmp"));
  EXPECT_EQ(RunTool(L"frobnicate").code, 2u);
}

}  // namespace
