#include "LineHost.h"

#include <algorithm>

bool LineHost::WriteData(const unsigned char* data, unsigned long length) {
  RecordingHost::WriteData(data, length);
  if (lineOpen) m_box.Feed(data, length, now);
  return lineOpen;
}

void LineHost::Pause(unsigned int ms) {
  RecordingHost::Pause(ms);
  Until(now + BoxTime(ms) * kBoxMs);
}

bool LineHost::Initialize(unsigned short port, unsigned long baud) {
  const bool ok = RecordingHost::Initialize(port, baud);
  Collect();
  input.clear();  // the port is purged when it opens
  return ok;
}

bool LineHost::Uninitialize() {
  Collect();
  return RecordingHost::Uninitialize();
}

void LineHost::Until(BoxTime t) {
  for (;;) {
    const BoxTime next = std::min(m_box.NextEventTime(), t);
    if (next > now) now = next;
    Collect();
    if (now >= t) return;
  }
}

void LineHost::Collect() {
  const std::vector<uint8_t> out = m_box.TakeOutput(now);
  if (lineOpen) input.insert(input.end(), out.begin(), out.end());
}
