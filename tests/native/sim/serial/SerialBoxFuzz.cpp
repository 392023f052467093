// Fuzz target: the box engine fed arbitrary PC bytes at arbitrary times, mixed with stretches in which the
// test PC answers properly (so the fuzzer reaches the data phase). It must never crash, stall or grow
// without bound.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "BoxImages.h"
#include "SerialBox.h"
#include "TestPc.h"

namespace {

class CInput {
 public:
  CInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
  bool Empty() const { return m_at >= m_size; }
  uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
  const uint8_t* Take(size_t& n) {
    n = n < m_size - m_at ? n : m_size - m_at;
    const uint8_t* p = m_data + m_at;
    m_at += n;
    return p;
  }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// After running up to `now` nothing may still be due at or before it, or a caller would spin.
void Step(CSerialBox& box, CTestPc& pc, BoxTime now, bool toPc) {
  std::vector<uint8_t> out = box.TakeOutput(now);
  if (toPc) pc.Receive(out, now);
  Check(box.NextEventTime() > now);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CInput in(data, size);
  SBoxSettings settings;
  uint8_t flags = in.Byte();
  settings.pace = flags & 1;
  settings.replyTimeoutMs = 1 + (flags >> 1) * 20;
  settings.syncIntervalMs = 20 + in.Byte() * 4;
  settings.reopenDelayMs = in.Byte() * 4;
  settings.maxPayload = 1u << 16;
  uint8_t faultKind = in.Byte() % 7;
  if (faultKind < 6) {
    SBoxFault fault;
    fault.kind = SBoxFault::Kind(faultKind);
    fault.point = {SBoxPoint::Kind(in.Byte() % 8), 1 + in.Byte() % 20};
    fault.code = in.Byte();
    fault.codeGiven = fault.code & 1;
    fault.randomCount = in.Byte();
    fault.durationMs = in.Byte() * 10;
    fault.download = in.Byte() % 3;
    settings.faults.push_back(fault);
  }
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 1500u + in.Byte() * 8}, {SSection::kDig, 0}});
  settings.compare = true;
  settings.reference = image;

  CSerialBox box(settings, 0);
  CTestPc pc(image, {});
  BoxTime now = 0;
  size_t fed = 0;
  while (!in.Empty()) {
    uint8_t op = in.Byte();
    switch (op % 3) {
      case 0: {  // raw bytes from the PC
        size_t n = in.Byte();
        const uint8_t* bytes = in.Take(n);
        box.Feed(bytes, n, now);
        fed += n;
        break;
      }
      case 1:  // time passes
        now += (op & 0x80) ? BoxTime(in.Byte()) * 50 * kBoxMs : BoxTime(in.Byte()) * 100;
        break;
      case 2: {  // the test PC answers for a while
        BoxTime until = now + BoxTime(in.Byte()) * 20 * kBoxMs;
        while (now < until) {
          Step(box, pc, now, true);
          std::vector<uint8_t> writes = pc.TakeWrites(now);
          box.Feed(writes.data(), writes.size(), now);
          fed += writes.size();
          BoxTime next = box.NextEventTime();
          BoxTime pcNext = pc.NextTime();
          next = next < pcNext ? next : pcNext;
          now = next < until ? (next > now ? next : now) : until;
        }
        break;
      }
    }
    Step(box, pc, now, false);
    box.TakeLog();
  }
  now += 10 * 1000 * kBoxMs;
  Step(box, pc, now, false);
  std::vector<SBoxLogEntry> log = box.TakeLog();
  // The log stays proportional to what came in and to the time that passed.
  Check(log.size() <= CSerialBox::kMaxLogEntries + 1);
  Check(box.Results().size() <= fed + size_t(now / kBoxMs) + 1);
  return 0;
}
