// The serial view's numbers: event texts, percentage, elapsed and estimated time.
#include <gtest/gtest.h>

#include "TransferTimeText.h"

namespace {
constexpr double kSecond = 1.0 / 86400.0;
}

TEST(TransferTimeText, EventNumbersAreReadFromTheirTextWithTheTrailingL) {
  EXPECT_EQ(14444u, CTransferTimeText::ParseEventNumber("14444l"));
  EXPECT_EQ(0u, CTransferTimeText::ParseEventNumber("0l"));
  EXPECT_EQ(4294967295u, CTransferTimeText::ParseEventNumber("4294967295l"));
  EXPECT_EQ(0u, CTransferTimeText::ParseEventNumber("l"));
  EXPECT_EQ(0u, CTransferTimeText::ParseEventNumber(nullptr));
}

TEST(TransferTimeText, HalfTheImageAfterTenSecondsShowsFiftyPercentAndTwentySecondsInAll) {
  const auto u = CTransferTimeText::Compute(5120, 10240, 10 * kSecond);
  EXPECT_EQ(50, u.percent);
  EXPECT_EQ(10, u.elapsed);
  // The estimated minutes are two characters wide: a blank precedes the 0.
  EXPECT_EQ("0 min. 10 sec. /  0 min. 20 sec.", u.text);
}

TEST(TransferTimeText, NothingChangesTheTextBeforeOneSecond) {
  const auto u = CTransferTimeText::Compute(3000, 10240, 0.9 * kSecond);
  EXPECT_EQ(29, u.percent);
  EXPECT_EQ(0, u.elapsed);
  EXPECT_TRUE(u.text.empty());
  EXPECT_EQ(0, CTransferTimeText::Compute(1, 10, -5 * kSecond).elapsed);
}

TEST(TransferTimeText, MinutesSecondsAndTheEstimateTruncate) {
  // 125 s for a third: 375 s estimated, 6 min 15 s.
  const auto u = CTransferTimeText::Compute(1000, 3000, 125 * kSecond);
  EXPECT_EQ(33, u.percent);
  EXPECT_EQ("2 min.  5 sec. /  6 min. 15 sec.", u.text);
  // Percent is the integer part of the floating quotient.
  EXPECT_EQ(99, CTransferTimeText::Compute(9999, 10000, kSecond).percent);
  EXPECT_EQ(100, CTransferTimeText::Compute(10000, 10000, kSecond).percent);
}

TEST(TransferTimeText, NoBytesSentAfterASecondShowsTheElapsedTimeAndNoEstimate) {
  const auto u = CTransferTimeText::Compute(0, 10240, 3 * kSecond);
  EXPECT_EQ(0, u.percent);
  EXPECT_EQ("0 min.  3 sec. / -- min. -- sec.", u.text);
}

TEST(TransferTimeText, AVerySlowStartGivesABoundedEstimate) {
  const auto u = CTransferTimeText::Compute(1, 4000000000u, 3600 * kSecond);
  EXPECT_EQ("60 min.  0 sec. / 35791394 min. 7 sec.", u.text);
}
