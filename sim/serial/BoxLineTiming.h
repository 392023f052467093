// BoxLineTiming.h - when bytes finish crossing one direction of the serial line at its current rate.
#pragma once

#include <cstddef>
#include <cstdint>

#include "BoxTime.h"

// A byte takes 10 bit times (start, 8 data, stop). Bytes sent back to back form a burst whose
// byte k ends at start + ceil(k * 10 / rate), so long bursts carry no rounding drift. Without
// pacing a byte is done the moment it is ready.
class CBoxLineTiming {
 public:
  void SetPacing(bool pace) { m_pace = pace; }
  bool Pacing() const { return m_pace; }

  // Bytes that start from now on take the new rate's time.
  void SetRate(uint32_t baud);
  uint32_t Rate() const { return m_rate; }

  // Time at which a byte that can start at `ready` has fully crossed the line.
  BoxTime Peek(BoxTime ready) const;
  // The same, and the line is busy with that byte until then.
  BoxTime Schedule(BoxTime ready);

  // Time that `count` bytes take at the current rate (0 without pacing).
  BoxTime Duration(size_t count) const;

 private:
  BoxTime Done(BoxTime start, uint64_t index) const;

  bool m_pace = true;
  uint32_t m_rate = 9600;
  BoxTime m_burstStart = 0;
  uint64_t m_burstBytes = 0;
  BoxTime m_lastDone = std::numeric_limits<BoxTime>::min();
};
