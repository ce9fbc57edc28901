// orvane.exe as a separate process, with a window of known title and pixels in front.

#include <gtest/gtest.h>

#include <memory>

#include "desktop/desktop.h"
#include "support/images.h"
#include "support/orvane_process.h"
#include "support/standin.h"
#include "support/temp_folder.h"
#include "support/wine_version.h"

namespace {

using desktop::SampleWindow;
using testing_support::OrvaneProcess;
using testing_support::TempFolder;

const std::wstring kQuestionTail = L"Are you sure you want to e-mail a screenshot of the current window Arvel?";

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::InstallOrvane(app_.path(),
                                   "[Email]\r\nRecipient=arvel@example.com\r\n[KeyCombos]\r\nActivate=Ctrl+Alt+S\r\n");
    ASSERT_TRUE(target_.BringToFront()) << "the sample window did not come to the front";
  }

  // Starts a run and waits for its question.
  HWND StartAndWaitForQuestion(OrvaneProcess& run) {
    EXPECT_TRUE(run.started());
    HWND box = desktop::WaitForDialog(run.id(), 15000, run.handle());
    EXPECT_NE(box, nullptr) << "no question appeared";
    return box;
  }

  // One confirmed run; returns its exit code.
  DWORD ConfirmedRun() {
    EXPECT_TRUE(target_.BringToFront());
    OrvaneProcess run(app_.path());
    HWND box = StartAndWaitForQuestion(run);
    if (!box) return STILL_ACTIVE;
    desktop::Press(box, IDOK);
    return run.WaitForExit();
  }

  // The file is a picture of the whole target window, upright.
  void ExpectPictureOfTarget(const std::wstring& file) {
    RECT window;
    ASSERT_TRUE(::GetWindowRect(target_.hwnd(), &window));
    POINT client_origin{0, 0};
    ::ClientToScreen(target_.hwnd(), &client_origin);
    RECT client;
    ::GetClientRect(target_.hwnd(), &client);
    const int dx = client_origin.x - window.left, dy = client_origin.y - window.top;

    auto shot = testing_support::DecodeImageFile(file);
    ASSERT_EQ(shot.width, static_cast<UINT>(window.right - window.left));
    ASSERT_EQ(shot.height, static_cast<UINT>(window.bottom - window.top));
    // Each quadrant's centre, where JPEG blocks see one colour only; top-left red proves it is upright.
    const int cw = client.right, ch = client.bottom;
    const POINT centres[4] = {{cw / 4, ch / 4}, {3 * cw / 4, ch / 4}, {cw / 4, 3 * ch / 4}, {3 * cw / 4, 3 * ch / 4}};
    for (int q = 0; q < 4; ++q) {
      const uint8_t* pixel = shot.At(static_cast<UINT>(dx + centres[q].x), static_cast<UINT>(dy + centres[q].y));
      EXPECT_LE(testing_support::ColourDistance(pixel, SampleWindow::QuadrantColour(q)), 24) << "quadrant " << q;
    }
  }

  // A run with nothing to take a picture of in front: one message, and nothing written or mailed.
  void ExpectNothingToCapture() {
    const std::wstring before = testing_support::ListFolder(app_.path());
    OrvaneProcess run(app_.path());
    HWND box = StartAndWaitForQuestion(run);
    ASSERT_NE(box, nullptr);
    const desktop::DialogInfo info = desktop::ReadDialog(box);
    EXPECT_EQ(::GetForegroundWindow(), box);
    desktop::Press(box, IDOK);
    EXPECT_EQ(run.WaitForExit(), 1u);
    EXPECT_EQ(info.caption, L"Orvane");
    EXPECT_EQ(info.text, L"There is no window in front to take a picture of. Click the window you want, then press "
                         L"Ctrl+Alt+S again.");
    EXPECT_EQ(info.buttons, (std::vector<int>{IDOK}));
    EXPECT_EQ(info.icon, L"exclamation");
    EXPECT_TRUE(info.owner_topmost);
    EXPECT_EQ(testing_support::ListFolder(app_.path()), before);
    EXPECT_TRUE(mail_program_.Journal().empty());
  }

  // A confirmed run as the given Windows version, with a topmost window of another colour lying over the
  // middle of the target's top-left quadrant: the picture has the window's size and its uncovered
  // pixels, and shows the cover exactly when it is to show what is displayed.
  void CheckRunUnderACover(const std::wstring& version, bool cover_in_picture) {
    testing_support::WineVersionFor windows_version(L"orvane.exe", version);
    RECT window, client;
    ASSERT_TRUE(::GetWindowRect(target_.hwnd(), &window));
    ::GetClientRect(target_.hwnd(), &client);
    POINT origin{0, 0};
    ::ClientToScreen(target_.hwnd(), &origin);
    const int dx = origin.x - window.left, dy = origin.y - window.top;
    const int cw = client.right, ch = client.bottom;
    const COLORREF kCover = RGB(200, 0, 200);
    desktop::CoverWindow cover(
        RECT{origin.x + cw / 4 - 30, origin.y + ch / 4 - 20, origin.x + cw / 4 + 30, origin.y + ch / 4 + 20}, kCover);
    ASSERT_NE(cover.hwnd(), nullptr);
    ASSERT_EQ(ConfirmedRun(), 0u);

    auto shot = testing_support::DecodeImageFile(app_ / L"Screenshot001.jpg");
    ASSERT_EQ(shot.width, static_cast<UINT>(window.right - window.left));
    ASSERT_EQ(shot.height, static_cast<UINT>(window.bottom - window.top));
    const POINT centres[4] = {{cw / 4, ch / 4}, {3 * cw / 4, ch / 4}, {cw / 4, 3 * ch / 4}, {3 * cw / 4, 3 * ch / 4}};
    for (int q = 1; q < 4; ++q) {
      const uint8_t* pixel = shot.At(static_cast<UINT>(dx + centres[q].x), static_cast<UINT>(dy + centres[q].y));
      EXPECT_LE(testing_support::ColourDistance(pixel, SampleWindow::QuadrantColour(q)), 24) << "quadrant " << q;
    }
    const int from_cover = testing_support::ColourDistance(
        shot.At(static_cast<UINT>(dx + centres[0].x), static_cast<UINT>(dy + centres[0].y)), kCover);
    if (cover_in_picture) {
      EXPECT_LE(from_cover, 24);
    } else {
      EXPECT_GT(from_cover, 60);
    }
  }

  testing_support::StandIn mail_program_;
  TempFolder app_{L"orvane-app"};
  SampleWindow target_{L"Quarterly report \u2014 \u00dcn\u00efc\u00f8de \u2603", 320, 200};
};

TEST_F(RunTest, AsksTheQuestionFromAHiddenTopmostOwnerAndCancelWritesNothing) {
  const std::wstring before = testing_support::ListFolder(app_.path());
  OrvaneProcess run(app_.path());
  HWND box = StartAndWaitForQuestion(run);
  ASSERT_NE(box, nullptr);
  desktop::DialogInfo info = desktop::ReadDialog(box);
  EXPECT_EQ(info.caption, L"Orvane");
  EXPECT_EQ(info.text, L"You have pressed Ctrl+Alt+S.\r\n\r\n" + kQuestionTail);
  EXPECT_EQ(info.buttons, (std::vector<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(info.icon, L"question");
  EXPECT_EQ(::GetForegroundWindow(), box) << "Enter and Esc would go to another window";
  ASSERT_NE(info.owner, nullptr);
  EXPECT_FALSE(info.owner_visible);
  EXPECT_TRUE(info.owner_topmost);
  EXPECT_EQ(info.owner_class, L"OrvaneCaptureForm");

  desktop::Press(box, IDCANCEL);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), before);
}

// Without a settings file there is no shortcut name to quote: the question is asked without it.
TEST_F(RunTest, ClosingTheQuestionIsCancelAndWithoutSettingsOnlyTheQuestionIsAsked) {
  ASSERT_TRUE(::DeleteFileW((app_ / L"Orvane.ini").c_str()));
  const std::wstring before = testing_support::ListFolder(app_.path());
  OrvaneProcess run(app_.path());
  HWND box = StartAndWaitForQuestion(run);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(desktop::ReadDialog(box).text, kQuestionTail);
  desktop::Close(box);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), before);
}

TEST_F(RunTest, OkWritesAnUprightJpegOfTheWholeWindowAndTheNextRunTheNextName) {
  ASSERT_EQ(ConfirmedRun(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), L"Orvane.ini,Screenshot001.jpg,orvane.exe");
  ExpectPictureOfTarget(app_ / L"Screenshot001.jpg");
  const auto shot = testing_support::DecodeImageFile(app_ / L"Screenshot001.jpg");

  ASSERT_EQ(ConfirmedRun(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), L"Orvane.ini,Screenshot001.jpg,Screenshot002.jpg,orvane.exe");
  EXPECT_EQ(testing_support::DecodeImageFile(app_ / L"Screenshot002.jpg").width, shot.width);
}

// People press the shortcut again when nothing seems to happen fast enough; the second press must not
// mail a picture of the first run's question.
TEST_F(RunTest, ASecondPressWhileTheQuestionIsUpBringsItForwardAndTheFirstRunMailsItsWindow) {
  OrvaneProcess first(app_.path());
  HWND box = StartAndWaitForQuestion(first);
  ASSERT_NE(box, nullptr);
  OrvaneProcess second(app_.path());
  ASSERT_TRUE(second.started());
  bool second_showed_a_box = false;
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000;) {
    SampleWindow::Pump();
    if (!desktop::WindowsOf(second.id()).empty()) second_showed_a_box = true;
    if (::WaitForSingleObject(second.handle(), 0) == WAIT_OBJECT_0) break;
    ::Sleep(5);
  }
  EXPECT_EQ(second.WaitForExit(1), 0u);
  EXPECT_FALSE(second_showed_a_box);
  EXPECT_EQ(::GetForegroundWindow(), box);
  EXPECT_EQ(desktop::WindowsOf(first.id(), L"#32770"), std::vector<HWND>{box});

  desktop::Press(box, IDOK);
  EXPECT_EQ(first.WaitForExit(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), L"Orvane.ini,Screenshot001.jpg,orvane.exe");
  ExpectPictureOfTarget(app_ / L"Screenshot001.jpg");
  bool subject_names_target = false;
  for (const std::string& line : mail_program_.Journal())
    subject_names_target |= line.find("Subject put (\"Screen Capture: Quarterly report") != std::string::npos;
  EXPECT_TRUE(subject_names_target);
}

TEST_F(RunTest, AMinimisedWindowInFrontIsNothingToCapture) {
  ::ShowWindow(target_.hwnd(), SW_SHOWMINIMIZED);  // minimised and still active, as a taskbar click leaves it
  for (int i = 0; i < 50 && !::IsIconic(target_.hwnd()); ++i) {
    SampleWindow::Pump();
    ::Sleep(10);
  }
  ASSERT_TRUE(::IsIconic(target_.hwnd()));
  ASSERT_EQ(::GetForegroundWindow(), target_.hwnd());
  ExpectNothingToCapture();
}

TEST_F(RunTest, NoWindowInFrontIsNothingToCapture) {
  ::ShowWindow(target_.hwnd(), SW_HIDE);
  for (int i = 0; i < 50 && ::GetForegroundWindow(); ++i) {
    SampleWindow::Pump();
    ::Sleep(10);
  }
  ASSERT_EQ(::GetForegroundWindow(), nullptr);
  ExpectNothingToCapture();
}

TEST_F(RunTest, OnAComposedDesktopThePictureIsWhatIsDisplayedAWindowLyingOverTheTargetIncluded) {
  CheckRunUnderACover(L"win10", true);
}

TEST_F(RunTest, WithoutCompositionThePictureIsTheWindowsOwnSurfaceWithoutTheWindowOverIt) {
  CheckRunUnderACover(L"win7", false);
}

TEST_F(RunTest, AnErrorThatEndsTheRunIsReportedWithNumberAndDescription) {
  const std::wstring before = testing_support::ListFolder(app_.path());
  OrvaneProcess run(app_.path(), L"orvane.exe", testing_support::BuildFolder());
  HWND box = StartAndWaitForQuestion(run);
  ASSERT_NE(box, nullptr);
  // The folder goes away while the question is open: the picture has nowhere to be written, and the
  // writer's error ends the run before the mail program is asked for anything.
  const std::wstring moved = app_.path() + L"-moved";
  ASSERT_TRUE(::MoveFileW(app_.path().c_str(), moved.c_str()));
  desktop::Press(box, IDOK);
  // The question goes, and the report comes up in its place.
  HWND report = nullptr;
  for (int i = 0; i < 200 && !report; ++i) {
    HWND candidate = desktop::WaitForDialog(run.id(), 100, run.handle());
    if (candidate && candidate != box) report = candidate;
  }
  desktop::DialogInfo info;
  if (report) info = desktop::ReadDialog(report);
  if (report) desktop::Press(report, IDOK);
  const DWORD code = run.WaitForExit();
  const std::wstring after = testing_support::ListFolder(moved);
  ASSERT_TRUE(::MoveFileW(moved.c_str(), app_.path().c_str()));
  ASSERT_NE(report, nullptr) << "no report; exit code " << code;
  EXPECT_EQ(info.caption, L"Orvane");
  EXPECT_EQ(info.text, L"The screenshot could not be written into Orvane's folder: the folder may be read-only, "
                       L"full or gone. Make the folder writable or free some space, then press Ctrl+Alt+S again."
                       L"\r\n\r\nThe screenshot was not saved.\r\n\r\n(Error 26001: Failed to save to JPG -6)");
  EXPECT_EQ(info.buttons, (std::vector<int>{IDOK}));
  EXPECT_EQ(info.icon, L"error");  // nothing was saved
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(after, before);
  EXPECT_TRUE(mail_program_.Journal().empty());
}

// Hidden files of screenshot names do not count as taken, but are never overwritten: each costs a
// refused publish. A thousand of them cost one pass over the names, not a thousand.
TEST_F(RunTest, AFolderCrowdedWithHiddenScreenshotNamesGetsTheNextFreeNameAndLosesNothing) {
  for (int n = 1; n <= 1000; ++n) {
    wchar_t name[32];
    ::swprintf(name, 32, L"Screenshot%03d.jpg", n);
    testing_support::WriteBytes(app_ / name, "hidden");
    ASSERT_TRUE(::SetFileAttributesW((app_ / name).c_str(), FILE_ATTRIBUTE_HIDDEN));
  }
  ASSERT_EQ(ConfirmedRun(), 0u);
  EXPECT_GT(testing_support::DecodeImageFile(app_ / L"Screenshot1001.jpg").width, 0u);
  EXPECT_EQ(testing_support::ReadBytes(app_ / L"Screenshot001.jpg"), "hidden");
  EXPECT_EQ(testing_support::ReadBytes(app_ / L"Screenshot1000.jpg"), "hidden");
  EXPECT_FALSE(testing_support::FileExists(app_ / L"Screenshot1002.jpg"));
}

// The files are the point here. Wine starts one server per client when twenty ask for an unstarted
// local server at once and then loses track of them, so the runs go without a mail program: each
// writes its file, then reports that none is registered. A run started while another's question is
// in front only brings that question forward, so each run starts with the target in front; then all
// twenty questions are confirmed at once.
TEST_F(RunTest, TwentyRunsAtOnceWriteTwentyDistinctCompleteFiles) {
  constexpr int kRuns = 20;
  ASSERT_EQ(testing_support::StandIn::Run(L"/UnregServer"), 0);  // the fixture registers it again
  std::vector<std::unique_ptr<OrvaneProcess>> runs;
  std::vector<HWND> last_box(kRuns, nullptr);
  std::vector<int> boxes(kRuns, 0);
  for (int i = 0; i < kRuns; ++i) {
    // The last question has settled in front (it looks once whether it got the foreground) before the
    // target takes the front from it.
    for (int turn = 0; turn < 10; ++turn) {
      SampleWindow::Pump();
      ::Sleep(20);
    }
    ASSERT_TRUE(target_.BringToFront());
    runs.push_back(std::make_unique<OrvaneProcess>(app_.path()));
    last_box[i] = StartAndWaitForQuestion(*runs.back());
    ASSERT_NE(last_box[i], nullptr) << "run " << i;
    boxes[i] = 1;
  }
  for (int i = 0; i < kRuns; ++i) desktop::Press(last_box[i], IDOK);
  std::vector<bool> ended(kRuns, false);
  int finished = 0;
  for (DWORD start = ::GetTickCount(); finished < kRuns && ::GetTickCount() - start < 240000;) {
    SampleWindow::Pump();
    for (int i = 0; i < kRuns; ++i) {
      if (ended[i]) continue;
      if (::WaitForSingleObject(runs[i]->handle(), 0) == WAIT_OBJECT_0) {
        ended[i] = true;
        ++finished;
        continue;
      }
      for (HWND dialog : desktop::WindowsOf(runs[i]->id(), L"#32770")) {
        if (dialog == last_box[i]) continue;
        last_box[i] = dialog;
        ++boxes[i];  // after the question: no mail program is registered
        const std::wstring text = desktop::ReadDialog(dialog).text;
        EXPECT_NE(text.find(L"(Error -2147221164: Class not registered)"), std::wstring::npos)
            << "run " << i << ": " << testing_support::Utf8(text);
        desktop::Press(dialog, IDNO);
      }
    }
    ::Sleep(20);
  }
  ASSERT_EQ(finished, kRuns);
  for (int i = 0; i < kRuns; ++i) EXPECT_EQ(boxes[i], 2) << "run " << i << " showed something else";
  for (int n = 1; n <= kRuns; ++n) {
    wchar_t name[32];
    ::swprintf(name, 32, L"Screenshot%03d.jpg", n);
    auto picture = testing_support::DecodeImageFile(app_ / name);
    EXPECT_GT(picture.width, 0u) << "Screenshot" << n << " is missing or incomplete";
  }
  EXPECT_FALSE(testing_support::FileExists(app_ / L"Screenshot021.jpg"));
}

}  // namespace
