// The naming and writing part of a confirmed run in a folder crowded with names that the directory
// search does not count (hidden files of screenshot names): each one costs a refused publish. Prints
// medians for 0, 100 and 1,000 of them.
// Usage: crowd_bench REPETITIONS

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/mod_main.h"
#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "median.h"
#include "support/temp_folder.h"

namespace {

double RunOnce(const std::wstring& folder, cDIBSection& image) {
  const auto start = std::chrono::steady_clock::now();
  const std::wstring first = folder + L"\\" + modMain::NextScreenshotName(folder);
  const std::wstring written = mIntelJPEGLibrary::WriteNewJpegFile(
      image, first, [&folder](const std::vector<std::wstring>& taken) { return modMain::NextFreeScreenshotPath(folder, taken); },
      60);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  ::DeleteFileW(written.c_str());
  return ms;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int repetitions = argc > 1 ? _wtoi(argv[1]) : 9;
  cDIBSection image;
  if (!image.Create(1280, 720)) return 1;
  image.RandomiseBits(false);
  std::printf("Naming and writing a 1280x720 screenshot beside hidden screenshot names (median of %d, ms)\n\n",
              repetitions);
  std::printf("%-16s %10s %12s\n", "hidden names", "ms", "ms per name");
  for (int crowd : {0, 100, 1000}) {
    testing_support::TempFolder folder(L"orvane-crowd");
    for (int n = 1; n <= crowd; ++n) {
      wchar_t name[32];
      ::swprintf(name, 32, L"Screenshot%03d.jpg", n);
      testing_support::WriteBytes(folder / name, "");
      ::SetFileAttributesW((folder / name).c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) times.push_back(RunOnce(folder.path(), image));
    const double median = Median(times);
    std::printf("%-16d %10.2f %12.4f\n", crowd, median, crowd ? median / crowd : 0.0);
  }
  return 0;
}
