// Which screen rectangle the capture of the window in front copies on a composited desktop, and
// whether the window in front shows anything to copy.

#include <gtest/gtest.h>

#include "capture/screen_capture.h"

namespace {

using modScreenCapture::CaptureRectangle;
using modScreenCapture::ShowsSomething;
using modScreenCapture::WindowFacts;

::testing::AssertionResult Is(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
  if (r.left == left && r.top == top && r.right == right && r.bottom == bottom) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

TEST(CaptureRectangle, TheVisibleFrameWhenTheWindowManagerAnswersElseTheWindowRectangle) {
  WindowFacts facts{.present = true, .window_rect = {93, 40, 707, 547}, .visible_frame = RECT{100, 40, 700, 540},
                    .maximised_within = std::nullopt};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 100, 40, 700, 540));  // no invisible borders
  facts.visible_frame.reset();
  EXPECT_TRUE(Is(CaptureRectangle(facts), 93, 40, 707, 547));
}

TEST(CaptureRectangle, NothingWhenThereIsNoWindowWhateverElseIsKnown) {
  WindowFacts facts{.present = false, .window_rect = {1, 2, 3, 4}, .visible_frame = RECT{5, 6, 7, 8},
                    .maximised_within = RECT{0, 0, 800, 600}};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 0, 0, 0, 0));
  EXPECT_TRUE(Is(CaptureRectangle(WindowFacts{}), 0, 0, 0, 0));
}

TEST(CaptureRectangle, AMaximisedWindowIsCutToItsMonitorsWorkAreaAndNoNeighboursPixel) {
  // On the right of two monitors, with the taskbar at the bottom: the borders overhang to the left
  // monitor, above the top and onto the taskbar.
  const RECT work{1920, 0, 3840, 1032};
  WindowFacts facts{.present = true, .window_rect = {1912, -8, 3848, 1040}, .visible_frame = std::nullopt,
                    .maximised_within = work};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 1920, 0, 3840, 1032));
  facts.visible_frame = RECT{1920, 0, 3840, 1032};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 1920, 0, 3840, 1032));
  // A monitor left of the primary one has negative coordinates.
  facts = WindowFacts{.present = true, .window_rect = {-1288, -8, 8, 1040}, .visible_frame = std::nullopt,
                      .maximised_within = RECT{-1280, 0, 0, 1024}};
  EXPECT_TRUE(Is(CaptureRectangle(facts), -1280, 0, 0, 1024));
}

TEST(CaptureRectangle, AWorkAreaThatMissesTheWindowLeavesTheFrameAsItIs) {
  WindowFacts facts{.present = true, .window_rect = {10, 10, 110, 60}, .visible_frame = std::nullopt,
                    .maximised_within = RECT{2000, 0, 3000, 1000}};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 10, 10, 110, 60));
  // A frame that only touches the work area's edge does not overlap it either.
  facts.maximised_within = RECT{110, 10, 300, 60};
  EXPECT_TRUE(Is(CaptureRectangle(facts), 10, 10, 110, 60));
}

// A window in front with the given rectangle, of which nothing else is known.
WindowFacts WindowAt(RECT rect, bool minimised = false, bool cloaked = false) {
  WindowFacts facts;
  facts.present = true;
  facts.minimised = minimised;
  facts.cloaked = cloaked;
  facts.window_rect = rect;
  return facts;
}

// Each of these would be mailed as a black or empty picture.
TEST(ShowsSomething, NotAMissingMinimisedCloakedOrAreaLessWindow) {
  EXPECT_FALSE(ShowsSomething(WindowFacts{}));
  // Minimised: Windows parks it near -32000, where the screen copy is black.
  EXPECT_FALSE(ShowsSomething(WindowAt({-32000, -32000, -31840, -31972}, true)));
  // Cloaked on another virtual desktop: its rectangle is ordinary, yet nothing of it is drawn.
  EXPECT_FALSE(ShowsSomething(WindowAt({100, 100, 700, 500}, false, true)));
  EXPECT_FALSE(ShowsSomething(WindowAt({100, 100, 100, 500})));
  EXPECT_FALSE(ShowsSomething(WindowAt({100, 100, 700, 100})));
  EXPECT_FALSE(ShowsSomething(WindowAt({700, 500, 100, 100})));
  // The area that would be copied decides, not the window rectangle.
  WindowFacts frame_without_width = WindowAt({93, 40, 707, 547});
  frame_without_width.visible_frame = RECT{100, 40, 100, 540};
  EXPECT_FALSE(ShowsSomething(frame_without_width));
}

TEST(ShowsSomething, AnOrdinaryWindowTheDesktopAndTheTaskbarDo) {
  WindowFacts framed = WindowAt({93, 40, 707, 547});
  framed.visible_frame = RECT{100, 40, 700, 540};
  EXPECT_TRUE(ShowsSomething(framed));
  EXPECT_TRUE(ShowsSomething(WindowAt({0, 0, 1920, 1080})));
  EXPECT_TRUE(ShowsSomething(WindowAt({0, 1032, 1920, 1080})));
  // One pixel is a picture; a window partly off the screen is too.
  EXPECT_TRUE(ShowsSomething(WindowAt({5, 5, 6, 6})));
  EXPECT_TRUE(ShowsSomething(WindowAt({-300, -20, 200, 300})));
}

}  // namespace
