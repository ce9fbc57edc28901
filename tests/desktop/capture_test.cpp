// Capture and subject against real windows; these tests take the foreground in turn. The capture tests
// run twice: on a desktop without composition and, as a second executable, with it.

#include <gtest/gtest.h>

#include <dwmapi.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>

#include "capture/screen_capture.h"
#include "support/desktop.h"
#include "driver/mod_main.h"
#include "driver/window_in_front.h"
#include "image/dib_section.h"
#include "jpeg/jpeg_writer.h"
#include "platform/runtime/errors.h"
#include "platform/runtime/ui.h"
#include "platform/win/unique.h"
#include "support/images.h"
#include "support/temp_folder.h"
#include "support/wine_version.h"

#ifndef ORVANE_EXPECT_COMPOSITION
#define ORVANE_EXPECT_COMPOSITION 0
#endif

namespace {

using desktop::SampleWindow;

const uint8_t* Pixel(const cDIBSection& image, int x, int picture_row) {
  int memory_row = image.Height() - 1 - picture_row;
  return static_cast<const uint8_t*>(image.DIBSectionBitsPtr()) + memory_row * image.BytesPerScanLine() + 3 * x;
}

bool SameColour(const uint8_t* bgr, COLORREF colour) {
  return bgr[0] == GetBValue(colour) && bgr[1] == GetGValue(colour) && bgr[2] == GetRValue(colour);
}

// A window's rectangle, its client area's corner on the screen, and that corner's offset in the window.
struct Geometry {
  RECT window;
  POINT client_origin;
  int dx, dy;
};

Geometry GeometryOf(HWND hwnd) {
  Geometry g{};
  ::GetWindowRect(hwnd, &g.window);
  ::ClientToScreen(hwnd, &g.client_origin);
  g.dx = g.client_origin.x - g.window.left;
  g.dy = g.client_origin.y - g.window.top;
  return g;
}

bool Composited() {
  BOOL composited = FALSE;
  return SUCCEEDED(::DwmIsCompositionEnabled(&composited)) && composited;
}

TEST(Capture, RunsOnTheKindOfDesktopThisExecutableIsFor) {
  if (!testing_support::UnderWine()) GTEST_SKIP() << "Windows decides about composition itself";
  EXPECT_EQ(Composited(), ORVANE_EXPECT_COMPOSITION != 0)
      << "Wine's per-program version for this executable is not set; scripts/test sets it";
}

// The pictures of windows are compared with what Windows draws, title-bar buttons included: Wine draws
// them with Marlett, which the bench must give it (scripts/lib/common.sh), or they are letters.
TEST(Capture, TheBenchHasTheFontOfTheTitleBarButtons) {
  HDC screen = ::GetDC(nullptr);
  LOGFONTW wanted{};
  wanted.lfCharSet = SYMBOL_CHARSET;
  ::lstrcpynW(wanted.lfFaceName, L"Marlett", LF_FACESIZE);
  bool found = false;
  ::EnumFontFamiliesExW(
      screen, &wanted, [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM data) -> int {
        *reinterpret_cast<bool*>(data) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  ::ReleaseDC(nullptr, screen);
  EXPECT_TRUE(found) << "no Marlett: Wine draws minimise, maximise and close as the letters 0 1 r";
}

TEST(Capture, TheForegroundWindowIsTakenWholeFrameIncluded) {
  SampleWindow target(L"Capture target", 200, 120);
  ASSERT_TRUE(target.BringToFront());
  const auto [window, origin, dx, dy] = GeometryOf(target.hwnd());

  auto picture = modScreenCapture::GrabForegroundWindow();
  ASSERT_TRUE(picture);
  cDIBSection image;
  image.CreateFromPicture(picture);
  ASSERT_NE(image.hDib(), nullptr);
  EXPECT_EQ(image.Width(), window.right - window.left);
  EXPECT_EQ(image.Height(), window.bottom - window.top);
  EXPECT_GT(dy, 0) << "a title bar above the client area";
  // The client area sits at its offset inside the capture, pixel for pixel.
  EXPECT_TRUE(SameColour(Pixel(image, dx + 50, dy + 30), SampleWindow::QuadrantColour(0)));
  EXPECT_TRUE(SameColour(Pixel(image, dx + 150, dy + 30), SampleWindow::QuadrantColour(1)));
  EXPECT_TRUE(SameColour(Pixel(image, dx + 50, dy + 90), SampleWindow::QuadrantColour(2)));
  EXPECT_TRUE(SameColour(Pixel(image, dx + 150, dy + 90), SampleWindow::QuadrantColour(3)));
  EXPECT_TRUE(SameColour(Pixel(image, dx, dy), RGB(0, 0, 0)));  // the client border

  // The frame and title bar are in the picture as the screen shows them, and drawn: no black band.
  const testing_support::DecodedImage screen = testing_support::ScreenArea(RECT{window.left, window.top, window.right, origin.y});
  ASSERT_EQ(screen.width, static_cast<UINT>(image.Width()));
  ASSERT_EQ(screen.height, static_cast<UINT>(dy));
  int differing = 0, black = 0;
  for (int y = 0; y < dy; ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const uint8_t* captured = Pixel(image, x, y);
      const uint8_t* shown = screen.At(static_cast<UINT>(x), static_cast<UINT>(y));
      if (!std::equal(captured, captured + 3, shown)) ++differing;
      if (SameColour(captured, RGB(0, 0, 0))) ++black;
    }
  }
  EXPECT_EQ(differing, 0) << "the title bar in the picture is not what the screen shows";
  EXPECT_LT(black, image.Width() * dy / 2) << "a black band where the title bar should be";
}

TEST(Capture, AWindowLyingOverTheOneInFrontIsInThePictureExactlyWhenComposited) {
  SampleWindow target(L"Covered", 200, 120);
  ASSERT_TRUE(target.BringToFront());
  const auto [window, origin, dx, dy] = GeometryOf(target.hwnd());
  const COLORREF kCover = RGB(200, 0, 200);
  desktop::CoverWindow cover(RECT{origin.x + 30, origin.y + 15, origin.x + 70, origin.y + 45}, kCover);
  ASSERT_NE(cover.hwnd(), nullptr);
  ASSERT_TRUE(target.BringToFront());
  ASSERT_EQ(::GetForegroundWindow(), target.hwnd());

  cDIBSection image;
  image.CreateFromPicture(modScreenCapture::GrabForegroundWindow());
  ASSERT_EQ(image.Width(), window.right - window.left);
  ASSERT_EQ(image.Height(), window.bottom - window.top);
  EXPECT_TRUE(SameColour(Pixel(image, dx + 150, dy + 30), SampleWindow::QuadrantColour(1)));
  EXPECT_TRUE(SameColour(Pixel(image, dx + 50, dy + 90), SampleWindow::QuadrantColour(2)));
  EXPECT_TRUE(SameColour(Pixel(image, dx + 150, dy + 90), SampleWindow::QuadrantColour(3)));
  // What is displayed there is the cover; the window's own surface does not know of it.
  EXPECT_EQ(SameColour(Pixel(image, dx + 50, dy + 30), kCover), Composited());
}

TEST(Capture, AMaximisedWindowKeepsToItsMonitorsWorkAreaWhenComposited) {
  SampleWindow target(L"Maximised", 200, 120);
  ::ShowWindow(target.hwnd(), SW_MAXIMIZE);
  ASSERT_TRUE(target.BringToFront());
  ASSERT_TRUE(::IsZoomed(target.hwnd()));
  RECT window;
  ::GetWindowRect(target.hwnd(), &window);
  MONITORINFO monitor{.cbSize = sizeof(MONITORINFO), .rcMonitor = {}, .rcWork = {}, .dwFlags = 0};
  ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(target.hwnd(), MONITOR_DEFAULTTONEAREST), &monitor));

  cDIBSection image;
  image.CreateFromPicture(modScreenCapture::GrabForegroundWindow());
  if (Composited()) {
    const RECT visible{std::max(window.left, monitor.rcWork.left), std::max(window.top, monitor.rcWork.top),
                       std::min(window.right, monitor.rcWork.right), std::min(window.bottom, monitor.rcWork.bottom)};
    EXPECT_EQ(image.Width(), visible.right - visible.left);
    EXPECT_EQ(image.Height(), visible.bottom - visible.top);
  } else {
    EXPECT_EQ(image.Width(), window.right - window.left);
    EXPECT_EQ(image.Height(), window.bottom - window.top);
  }
}

TEST(Capture, ClientAreaAndOffsetsAndNoPaletteOnTrueColour) {
  SampleWindow target(L"Client capture", 200, 100);
  ASSERT_TRUE(target.BringToFront());
  RECT client;
  ::GetClientRect(target.hwnd(), &client);
  // A block inside the bottom-right quadrant, measured from the client area's corner.
  auto picture = modScreenCapture::GrabWindowImage(target.hwnd(), true, client.right / 2 + 5, client.bottom / 2 + 5, 20, 10);
  ASSERT_TRUE(picture);
  win::ComPtr<IPicture> as_picture;
  ASSERT_HRESULT_SUCCEEDED(picture.As(&as_picture));
  OLE_HANDLE palette = 1;
  as_picture->get_hPal(&palette);
  EXPECT_EQ(palette, 0u);
  cDIBSection image;
  image.CreateFromPicture(picture);
  ASSERT_EQ(image.Width(), 20);
  ASSERT_EQ(image.Height(), 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_TRUE(SameColour(Pixel(image, x, y), SampleWindow::QuadrantColour(3))) << x << "," << y;
}

TEST(Capture, AWindowPartlyOffTheScreenGivesTheFullRectangle) {
  SampleWindow target(L"Half off", 300, 100, -150, 40);
  ASSERT_TRUE(target.BringToFront());
  RECT window;
  ::GetWindowRect(target.hwnd(), &window);
  ASSERT_LT(window.left, 0);
  cDIBSection image;
  image.CreateFromPicture(modScreenCapture::GrabForegroundWindow());
  EXPECT_EQ(image.Width(), window.right - window.left);
  EXPECT_EQ(image.Height(), window.bottom - window.top);
}

TEST(Capture, AWindowTooLargeForABitmapEndsInTheWritersErrorNotABlankPicture) {
  SampleWindow target(L"Huge", 100, 60);
  ASSERT_TRUE(target.BringToFront());
  auto picture = modScreenCapture::GrabWindowImage(target.hwnd(), false, 0, 0, 60000, 60000);
  cDIBSection image;
  image.CreateFromPicture(picture);
  EXPECT_EQ(image.hDib(), nullptr);
  testing_support::TempFolder folder;
  try {
    mIntelJPEGLibrary::WriteNewJpegFile(image, folder / L"Screenshot001.jpg",
                                        [](const std::vector<std::wstring>&) { return std::wstring(); }, 60);
    FAIL() << "a picture was written";
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.description(), L"Failed to save to JPG -2");
  }
  EXPECT_EQ(testing_support::ListFolder(folder.path()), L"");
}

TEST(Capture, AZeroSizeCaptureNeverCrashesAndNeverWritesAnEmptyFile) {
  SampleWindow target(L"Nothing to see", 100, 60);
  ASSERT_TRUE(target.BringToFront());
  auto picture = modScreenCapture::GrabWindowImage(target.hwnd(), false, 0, 0, 0, 0);
  cDIBSection image;
  image.CreateFromPicture(picture);
  testing_support::TempFolder folder;
  try {
    std::wstring written = mIntelJPEGLibrary::WriteNewJpegFile(
        image, folder / L"Screenshot001.jpg", [](const std::vector<std::wstring>&) { return std::wstring(); }, 60);
    // Whatever the platform made of an empty request, what is written is a whole picture.
    auto decoded = testing_support::DecodeImageFile(written);
    EXPECT_EQ(static_cast<LONG>(decoded.width), image.Width());
    EXPECT_GT(decoded.width, 0u);
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(testing_support::ListFolder(folder.path()), L"");
  }
}

TEST(Subject, NamesTheForegroundWindowWithNothingAfterTheTitle) {
  SampleWindow target(L"Budget 2027.xlsx - Spreadsheet", 120, 60);
  ASSERT_TRUE(target.BringToFront());
  EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture: Budget 2027.xlsx - Spreadsheet");
}

TEST(Subject, WithoutATitleItIsJustScreenCapture) {
  SampleWindow target(L"", 120, 60);
  ASSERT_TRUE(target.BringToFront());
  EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture");
}

TEST(Subject, KeepsCharactersOutsideTheAnsiCodePageAndCutsLongTitlesTo511) {
  const std::wstring unicode = L"\u041e\u0442\u0447\u0451\u0442 \u2014 \u5831\u544a \U0001F4CA";
  {
    SampleWindow target(unicode, 120, 60);
    ASSERT_TRUE(target.BringToFront());
    EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture: " + unicode);
  }
  std::wstring long_title;
  for (int i = 0; i < 600; ++i) long_title += static_cast<wchar_t>(L'A' + i % 26);
  SampleWindow target(long_title, 120, 60);
  ASSERT_TRUE(target.BringToFront());
  EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture: " + long_title.substr(0, 511));
}

TEST(Subject, ControlCharactersAndA511CharacterTitleArePassedOnAsTheyAre) {
  const std::wstring odd = L"tab\there\x01bell\x07 and\r\nbreak";
  {
    SampleWindow target(odd, 120, 60);
    ASSERT_TRUE(target.BringToFront());
    EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture: " + odd);
  }
  const std::wstring exact(511, L'\u00e9');
  SampleWindow target(exact, 120, 60);
  ASSERT_TRUE(target.BringToFront());
  EXPECT_EQ(modMain::ForegroundSubject(), L"Screen Capture: " + exact);
}

TEST(SubjectBuilder, UsesTheCharactersBeforeTheFirstNulAndNothingWhenNoneWereCopied) {
  const wchar_t buffer[6] = {L'a', L'b', L'\0', L'c', L'd', L'e'};
  EXPECT_EQ(modMain::SubjectFromTitle(buffer, 6, 2), L"Screen Capture: ab");
  EXPECT_EQ(modMain::SubjectFromTitle(buffer, 6, 0), L"Screen Capture");
  const wchar_t unterminated[3] = {L'x', L'y', L'z'};
  EXPECT_EQ(modMain::SubjectFromTitle(unterminated, 3, 3), L"Screen Capture: xyz");  // never past the buffer
}

// The run reads the window in front once; its subject names that window whatever happens after.
TEST(Subject, NamesTheCapturedWindowWhenAnotherCameToTheFrontOrItClosedMeanwhile) {
  HWND captured = nullptr;
  std::wstring title_at_capture;
  {
    SampleWindow target(L"Minutes 3 May \u2014 draft", 120, 60);
    ASSERT_TRUE(target.BringToFront());
    captured = ::GetForegroundWindow();
    title_at_capture = modMain::WindowTitle(captured);
    EXPECT_TRUE(modScreenCapture::GrabForegroundWindow(captured));
    SampleWindow other(L"Orvane", 120, 60, 200, 200);
    ASSERT_TRUE(other.BringToFront());
    EXPECT_EQ(modMain::ForegroundSubject(captured, title_at_capture), L"Screen Capture: Minutes 3 May \u2014 draft");
  }
  ASSERT_FALSE(::IsWindow(captured));
  EXPECT_EQ(modMain::ForegroundSubject(captured, title_at_capture), L"Screen Capture: Minutes 3 May \u2014 draft");
  EXPECT_EQ(modMain::ForegroundSubject(captured, L""), L"Screen Capture");
}

TEST(Messages, ABoxKeptFromTheForegroundGetsATaskbarButtonAndStaysShownAndOwned) {
  win::Window owner(::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"hidden owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr));
  ASSERT_TRUE(owner);
  win::Window box(::CreateWindowExW(WS_EX_DLGMODALFRAME, L"STATIC", L"question", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40,
                                    40, 200, 100, owner.get(), nullptr, nullptr, nullptr));
  ASSERT_TRUE(box);
  ASSERT_FALSE(::GetWindowLongPtrW(box.get(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  rt::ShowWhereToFind(box.get());
  EXPECT_TRUE(::GetWindowLongPtrW(box.get(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
  EXPECT_TRUE(::IsWindowVisible(box.get()));
  EXPECT_EQ(::GetWindow(box.get(), GW_OWNER), owner.get());
  rt::ShowWhereToFind(box.get());  // a second time changes nothing
  EXPECT_TRUE(::IsWindowVisible(box.get()));
}

}  // namespace
