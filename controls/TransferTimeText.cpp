#include "TransferTimeText.h"

#include <climits>
#include <cstdio>

const char CTransferTimeText::kResetText[] = "0 min. 0 sec. / 0 min. 0 sec.";

uint32_t CTransferTimeText::ParseEventNumber(const char* text) {
  unsigned long value = 0;
  if (!text || std::sscanf(text, "%lul", &value) != 1) return 0;
  return static_cast<uint32_t>(value);
}

int CTransferTimeText::ElapsedSeconds(double spanDays) {
  const double seconds = spanDays * 86400.0 + kHalfSecondInDays;
  if (!(seconds > 0.0)) return 0;  // a clock set back, or no time at all
  return seconds >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(seconds);
}

CTransferTimeText::Update CTransferTimeText::Compute(uint32_t sent, uint32_t total, double spanDays) {
  Update update{0, 0, std::string()};
  if (total == 0) return update;
  update.percent = static_cast<int>(static_cast<double>(sent) / static_cast<double>(total) * 100.0);
  const int e = ElapsedSeconds(spanDays);
  update.elapsed = e;
  if (e == 0) return update;

  char text[96];
  if (sent == 0) {
    std::snprintf(text, sizeof text, "%d min. %2.0f sec. / -- min. -- sec.", e / 60, static_cast<double>(e % 60));
  } else {
    const double estimate = static_cast<double>(total) / (static_cast<double>(sent) / e);
    // A very slow start gives estimates beyond any sensible duration; they stop at INT_MAX.
    const int t = estimate >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(estimate);
    std::snprintf(text, sizeof text, "%d min. %2.0f sec. / %2.0f min. %d sec.", e / 60,
                  static_cast<double>(e % 60), static_cast<double>(t / 60), t % 60);
  }
  update.text = text;
  return update;
}
