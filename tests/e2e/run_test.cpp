// orvane.exe as a separate process, with a window of known title and pixels in front.

#include <gtest/gtest.h>

#include <memory>

#include "driver/frm_capture.h"
#include "support/desktop.h"
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
  EXPECT_EQ(info.owner_class, frmCapture::kClassName);

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
  HWND report = testing_support::BoxAfter(run, box);
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

// Twenty runs alive at once, each past its question, write twenty distinct complete files. One question
// is open at a time, so each press is answered in turn; the runs then wait at their reports (no mail
// program is registered: Wine starts one server per client when twenty ask for an unstarted local
// server at once and then loses track of them), and all twenty reports are answered at once. Two runs
// publishing the same name at the same instant is the writer's own test (JpegWriter).
TEST_F(RunTest, TwentyRunsAtOnceWriteTwentyDistinctCompleteFiles) {
  constexpr int kRuns = 20;
  ASSERT_EQ(testing_support::StandIn::Run(L"/UnregServer"), 0);  // the fixture registers it again
  std::vector<std::unique_ptr<OrvaneProcess>> runs;
  std::vector<HWND> reports;
  for (int i = 0; i < kRuns; ++i) {
    ASSERT_TRUE(target_.BringToFront()) << "run " << i;
    runs.push_back(std::make_unique<OrvaneProcess>(app_.path()));
    HWND question = StartAndWaitForQuestion(*runs.back());
    ASSERT_NE(question, nullptr) << "run " << i;
    desktop::Press(question, IDOK);
    // Its report is up before the next press, which would otherwise find it in front.
    HWND report = nullptr;
    for (int turn = 0; turn < 300 && !report; ++turn) {
      HWND dialog = desktop::WaitForDialog(runs.back()->id(), 50, runs.back()->handle());
      if (dialog && dialog != question && ::IsWindowVisible(dialog)) report = dialog;
    }
    ASSERT_NE(report, nullptr) << "run " << i << " showed no report";
    const std::wstring text = desktop::ReadDialog(report).text;
    EXPECT_NE(text.find(L"(Error -2147221164: Class not registered)"), std::wstring::npos)
        << "run " << i << ": " << testing_support::Utf8(text);
    reports.push_back(report);
  }
  for (HWND report : reports) desktop::Press(report, IDNO);
  for (int i = 0; i < kRuns; ++i) EXPECT_EQ(runs[i]->WaitForExit(), 1u) << "run " << i;
  for (int n = 1; n <= kRuns; ++n) {
    wchar_t name[32];
    ::swprintf(name, 32, L"Screenshot%03d.jpg", n);
    auto picture = testing_support::DecodeImageFile(app_ / name);
    EXPECT_GT(picture.width, 0u) << "Screenshot" << n << " is missing or incomplete";
  }
  EXPECT_FALSE(testing_support::FileExists(app_ / L"Screenshot021.jpg"));
}

// A key held down, or several presses in the same instant, start several runs at once: the first that
// gets its turn asks, and every other ends without a picture, a file or a box of its own.
TEST_F(RunTest, RunsStartedAtOnceAskOneQuestion) {
  constexpr int kRuns = 5;
  const std::wstring before = testing_support::ListFolder(app_.path());
  std::vector<std::unique_ptr<OrvaneProcess>> runs;
  for (int i = 0; i < kRuns; ++i) runs.push_back(std::make_unique<OrvaneProcess>(app_.path()));
  std::vector<HWND> questions(kRuns, nullptr);
  std::vector<bool> showed(kRuns, false);
  int ended = 0;
  for (DWORD start = ::GetTickCount(); ended < kRuns - 1 && ::GetTickCount() - start < 20000;) {
    SampleWindow::Pump();
    ended = 0;
    for (int i = 0; i < kRuns; ++i) {
      if (::WaitForSingleObject(runs[i]->handle(), 0) == WAIT_OBJECT_0) {
        ++ended;
        continue;
      }
      for (HWND dialog : desktop::WindowsOf(runs[i]->id(), L"#32770")) questions[i] = dialog;
      if (!desktop::WindowsOf(runs[i]->id()).empty()) showed[i] = true;
    }
    ::Sleep(10);
  }
  // One is left, asking; a run that has not shown its question yet would still show it, so wait a little.
  for (int turn = 0; turn < 50; ++turn) {
    SampleWindow::Pump();
    ::Sleep(10);
  }
  int asking = -1;
  for (int i = 0; i < kRuns; ++i) {
    if (::WaitForSingleObject(runs[i]->handle(), 0) == WAIT_OBJECT_0) {
      EXPECT_EQ(runs[i]->WaitForExit(1), 0u) << "run " << i;
      EXPECT_FALSE(showed[i]) << "run " << i << " showed a window";
    } else {
      EXPECT_EQ(asking, -1) << "runs " << asking << " and " << i << " both ask";
      asking = i;
    }
  }
  ASSERT_NE(asking, -1) << "no run asked";
  ASSERT_NE(questions[asking], nullptr);
  EXPECT_EQ(desktop::ReadDialog(questions[asking]).text,
            L"You have pressed Ctrl+Alt+S.\r\n\r\n" + kQuestionTail);
  EXPECT_EQ(::GetForegroundWindow(), questions[asking]);
  EXPECT_EQ(desktop::WindowsOf(0, L"#32770").size(), 1u) << "more than one box on the desktop";
  desktop::Press(questions[asking], IDCANCEL);
  EXPECT_EQ(runs[asking]->WaitForExit(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), before);
}

// The question is topmost, but a click on another window takes the keyboard from it. A press then does
// not take a picture of that window and ask again on top of the first question: it brings the first
// forward, wherever it is.
TEST_F(RunTest, APressWhileTheQuestionIsCoveredBringsItForwardInsteadOfAskingAgain) {
  const std::wstring before = testing_support::ListFolder(app_.path());
  OrvaneProcess first(app_.path());
  HWND box = StartAndWaitForQuestion(first);
  ASSERT_NE(box, nullptr);
  SampleWindow notepad(L"Untitled - Notepad", 360, 240, 40, 30);
  ASSERT_TRUE(notepad.BringToFront()) << "the other window did not take the front";

  OrvaneProcess second(app_.path());
  ASSERT_TRUE(second.started());
  bool second_showed_a_window = false;
  for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < 10000;) {
    SampleWindow::Pump();
    if (!desktop::WindowsOf(second.id()).empty()) second_showed_a_window = true;
    if (::WaitForSingleObject(second.handle(), 0) == WAIT_OBJECT_0) break;
    ::Sleep(5);
  }
  EXPECT_EQ(second.WaitForExit(1), 0u);
  EXPECT_FALSE(second_showed_a_window);
  EXPECT_EQ(::GetForegroundWindow(), box);
  EXPECT_EQ(desktop::WindowsOf(0, L"#32770"), std::vector<HWND>{box}) << "a second question";

  desktop::Press(box, IDCANCEL);
  EXPECT_EQ(first.WaitForExit(), 0u);
  EXPECT_EQ(testing_support::ListFolder(app_.path()), before);
}

// "There is no window in front ... Click the window you want, then press Ctrl+Alt+S again": a press
// after that click, with the message still open, is the picture the user asked for, not a reason to
// bring the message forward.
TEST_F(RunTest, APressAfterClickingAWindowAsTheNothingInFrontMessageSaysTakesItsPicture) {
  ::ShowWindow(target_.hwnd(), SW_HIDE);
  for (int i = 0; i < 50 && ::GetForegroundWindow(); ++i) {
    SampleWindow::Pump();
    ::Sleep(10);
  }
  ASSERT_EQ(::GetForegroundWindow(), nullptr);
  OrvaneProcess first(app_.path());
  HWND message = StartAndWaitForQuestion(first);
  ASSERT_NE(message, nullptr);
  ASSERT_EQ(desktop::ReadDialog(message).text.rfind(L"There is no window in front", 0), 0u);

  ::ShowWindow(target_.hwnd(), SW_SHOW);
  ASSERT_TRUE(target_.BringToFront());
  OrvaneProcess second(app_.path());
  HWND question = StartAndWaitForQuestion(second);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(desktop::ReadDialog(question).text, L"You have pressed Ctrl+Alt+S.\r\n\r\n" + kQuestionTail);
  EXPECT_EQ(first.WaitForExit(), 1u);  // its message was answered for the user
  desktop::Press(question, IDOK);
  EXPECT_EQ(second.WaitForExit(), 0u);
  ExpectPictureOfTarget(app_ / L"Screenshot001.jpg");
}

}  // namespace
