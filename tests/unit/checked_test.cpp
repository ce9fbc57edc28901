#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "platform/runtime/checked.h"
#include "platform/runtime/random.h"
#include "support/raised.h"

namespace {

template <typename F>
long RaisedNumber(F&& f) {
  return testing_support::Raised(f).number();
}

TEST(CheckedArithmetic, SixteenBitBoundaries) {
  EXPECT_EQ(rt::Add16(32766, 1), 32767);
  EXPECT_EQ(rt::Sub16(-32767, 1), -32768);
  EXPECT_EQ(rt::Mul16(-16384, 2), -32768);
  EXPECT_EQ(RaisedNumber([] { rt::Add16(32767, 1); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Sub16(-32768, 1); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Mul16(16384, 2); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Mul16(-32768, -1); }), rt::kErrOverflow);
}

TEST(CheckedArithmetic, ThirtyTwoBitBoundaries) {
  EXPECT_EQ(rt::Add32(INT32_MAX - 1, 1), INT32_MAX);
  EXPECT_EQ(rt::Sub32(INT32_MIN + 1, 1), INT32_MIN);
  EXPECT_EQ(rt::Mul32(65535, 32768), 2147450880);
  EXPECT_EQ(RaisedNumber([] { rt::Add32(INT32_MAX, 1); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Sub32(INT32_MIN, 1); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Mul32(65536, 32768); }), rt::kErrOverflow);
  EXPECT_EQ(RaisedNumber([] { rt::Mul32(INT32_MIN, -1); }), rt::kErrOverflow);
}

TEST(CheckedArithmetic, RaisedErrorsCarryNumberSourceAndDescription) {
  try {
    rt::RaiseOverflow();
  } catch (const rt::Error& e) {
    EXPECT_EQ(e.number(), 6);
    EXPECT_EQ(e.description(), L"Overflow");
    EXPECT_EQ(e.source(), L"unit_tests");  // the executable's base name
    EXPECT_STREQ(e.what(), "6: Overflow");
  }
  EXPECT_EQ(RaisedNumber([] { rt::RaiseSubscriptRange(); }), 9);
  EXPECT_EQ(RaisedNumber([] { rt::CheckFinite(std::numeric_limits<double>::infinity()); }), 11);
  EXPECT_EQ(RaisedNumber([] { rt::CheckFinite(std::nanf("")); }), 11);
  EXPECT_EQ(RaisedNumber([] { rt::CheckFinite(1e308); }), 0);
}

TEST(ProgramGenerator, DrawsLieInUnitIntervalAndRepeatForASeed) {
  rt::Randomize(43210.5f);
  std::vector<float> first;
  float low = 1, high = 0;
  for (int i = 0; i < 100000; ++i) {
    float r = rt::Rnd();
    ASSERT_GE(r, 0.0f);
    ASSERT_LT(r, 1.0f);
    low = std::min(low, r);
    high = std::max(high, r);
    if (i < 16) first.push_back(r);
  }
  EXPECT_LT(low, 0.001f);
  EXPECT_GT(high, 0.999f);
  rt::Randomize(43210.5f);
  for (float expected : first) EXPECT_EQ(rt::Rnd(), expected);
  // A clock tick later gives another sequence.
  rt::Randomize(43210.51f);
  std::set<float> differs(first.begin(), first.end());
  int same = 0;
  for (int i = 0; i < 16; ++i) same += differs.count(rt::Rnd()) ? 1 : 0;
  EXPECT_LT(same, 3);
}

}  // namespace
