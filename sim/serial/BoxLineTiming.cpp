#include "BoxLineTiming.h"

#include <algorithm>

namespace {
constexpr uint64_t kBitsPerByteUs = 10ull * 1000000ull;
}

void CBoxLineTiming::SetRate(uint32_t baud) {
  if (baud == 0 || baud == m_rate) return;
  m_rate = baud;
  m_burstBytes = 0;
}

BoxTime CBoxLineTiming::Done(BoxTime start, uint64_t index) const {
  return start + static_cast<BoxTime>((index * kBitsPerByteUs + m_rate - 1) / m_rate);
}

BoxTime CBoxLineTiming::Peek(BoxTime ready) const {
  if (!m_pace) return ready;
  if (m_burstBytes == 0 || ready > m_lastDone) return Done(std::max(ready, m_lastDone), 1);
  return Done(m_burstStart, m_burstBytes + 1);
}

BoxTime CBoxLineTiming::Schedule(BoxTime ready) {
  if (!m_pace) return ready;
  if (m_burstBytes == 0 || ready > m_lastDone) {
    m_burstStart = std::max(ready, m_lastDone);
    m_burstBytes = 0;
  }
  ++m_burstBytes;
  m_lastDone = Done(m_burstStart, m_burstBytes);
  return m_lastDone;
}

BoxTime CBoxLineTiming::Duration(size_t count) const {
  if (!m_pace) return 0;
  return static_cast<BoxTime>((count * kBitsPerByteUs + m_rate - 1) / m_rate);
}
