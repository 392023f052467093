// TransferTimeText.h - the serial view's numbers: event numbers in their "%ul" text, the bar's percentage, and the elapsed / estimated time text.
#pragma once

#include <cstdint>
#include <string>

class CTransferTimeText {
 public:
  // What a progress event changes.
  struct Update {
    int percent;         // integer part of sent / total * 100
    int elapsed;         // whole seconds since the start (0: too early, the text stays)
    std::string text;    // the new time text; empty when elapsed is 0
  };

  // The text shown before a transfer and after a reset.
  static const char kResetText[];
  // Half a second in days.
  static constexpr double kHalfSecondInDays = 5.787037037037037e-6;

  // A number the library sends as decimal text followed by "l" ("%ul"); 0 for text
  // without a leading number or a null text.
  static uint32_t ParseEventNumber(const char* text);
  // The time since the start, spanDays, in whole seconds: the span in days times 86400,
  // plus the half-second constant, truncated.
  static int ElapsedSeconds(double spanDays);
  // The progress event's update for sent bytes of total (total not 0) after spanDays.
  // "E min. S sec. / M min. T sec.": elapsed, then the estimated whole duration at the
  // rate so far. With nothing sent yet there is no rate: the estimate shows "--".
  static Update Compute(uint32_t sent, uint32_t total, double spanDays);
};
