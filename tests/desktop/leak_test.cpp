// A thousand cycles of capture, conversion, resampling, noise and ClearUp leave the process's GDI
// objects (where the platform counts them) and its memory where they were.

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include "capture/screen_capture.h"
#include "desktop/desktop.h"
#include "image/dib_section.h"

namespace {

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
  return counters.PrivateUsage;
}

void Cycle(HWND window) {
  auto picture = modScreenCapture::GrabWindowImage(window, false, 0, 0, 240, 160);
  cDIBSection image;
  image.CreateFromPicture(picture);
  auto resized = image.Resample(90, 130);
  if (resized) resized->RandomiseBits(true);
  image.RandomiseBits(false);
  image.ClearUp();
}

TEST(Leaks, AThousandCyclesGiveBackEveryObjectAndByte) {
  desktop::SampleWindow target(L"Leak check", 240, 160);
  ASSERT_TRUE(target.BringToFront());
  for (int i = 0; i < 50; ++i) Cycle(target.hwnd());  // caches and pools settle first
  const DWORD gdi_before = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const SIZE_T bytes_before = PrivateBytes();
  for (int i = 0; i < 1000; ++i) Cycle(target.hwnd());
  const DWORD gdi_after = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const SIZE_T bytes_after = PrivateBytes();
  // Wine reports no GDI counts (0); Windows does.
  EXPECT_LE(gdi_after, gdi_before);
  // One image's worth leaked per cycle would be over 100 MB; allow the allocator its slack.
  EXPECT_LT(bytes_after, bytes_before + 4 * 1024 * 1024)
      << "grew by " << (bytes_after - bytes_before) / 1024 << " KiB over 1000 cycles";
}

}  // namespace
