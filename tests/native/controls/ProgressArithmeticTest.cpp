// What the progress window shows for a position: fraction, bar edge, text.
#include <gtest/gtest.h>

#include <string>

#include "ProgressArithmetic.h"

namespace {

std::string Text(int pos, int range) {
  char buf[32];
  FormatProgressText(ProgressFraction(pos, range), buf, sizeof buf);
  return buf;
}

TEST(ProgressArithmetic, TextIsRoundedAndRightAlignedInThreeCharacters) {
  EXPECT_EQ("  0%", Text(0, 100));
  EXPECT_EQ(" 42%", Text(42, 100));
  EXPECT_EQ("100%", Text(100, 100));
  EXPECT_EQ("150%", Text(150, 100));
  EXPECT_EQ("100%", Text(996, 1000));  // 99.6 % rounds up while the bar truncates
  EXPECT_EQ("  1%", Text(6, 1000));
}

TEST(ProgressArithmetic, BarEdgeTruncatesAndIsLimitedJustPastTheWindow) {
  EXPECT_EQ(0, ProgressBarRight(343, ProgressFraction(0, 100)));
  EXPECT_EQ(343, ProgressBarRight(343, ProgressFraction(100, 100)));
  EXPECT_EQ(341, ProgressBarRight(343, ProgressFraction(996, 1000)));  // 341.6
  EXPECT_EQ(344, ProgressBarRight(343, ProgressFraction(150, 100)));
  EXPECT_EQ(0, ProgressBarRight(0, 1.0f));
  EXPECT_EQ(1, ProgressBarRight(100, ProgressFraction(1, 100)));
}

TEST(ProgressArithmetic, PositionIsReadAsUnsignedAndBadRangesShowNothing) {
  // -1 is 4294967295 as an unsigned position: far past the range, never negative.
  float f = ProgressFraction(-1, 100);
  EXPECT_GT(f, 4.0e7f);
  EXPECT_EQ(101, ProgressBarRight(100, f));
  char buf[32];
  EXPECT_GT(FormatProgressText(f, buf, sizeof buf), 4);
  EXPECT_EQ('%', buf[std::string(buf).size() - 1]);
  char tiny[3];
  EXPECT_EQ(2, FormatProgressText(1.0f, tiny, sizeof tiny));  // cut, terminated

  EXPECT_EQ(0.0f, ProgressFraction(50, 0));
  EXPECT_EQ(0.0f, ProgressFraction(50, -10));
  EXPECT_EQ("  0%", Text(50, 0));
}

}  // namespace
