// Fuzz target: the box engine fed arbitrary PC bytes at arbitrary times, mixed with stretches in which the
// test PC answers properly (so the fuzzer reaches the data phase). It must never crash, stall or grow
// without bound.
//
// One execution is cheap: time is virtual, the images are built once per length, the work of each step
// of the input is bounded by that step (a stretch of proper answers ends with the download it finishes,
// or after 1024 exchanges or 4 KiB from the box; a pause is at most 2.55 s of line time; the wind-down
// lasts as long as the longest wait the box can be in), and an execution ends after four downloads, two
// minutes of line time, or a misbehaviour that lasts for good.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
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

constexpr int kMaxStretchSteps = 1024;
constexpr size_t kMaxStretchBytes = 4096;
constexpr size_t kMaxDownloads = 4;
constexpr BoxTime kEndlessWindDown = 100 * kBoxMs;
constexpr BoxTime kMaxTime = 120 * 1000 * kBoxMs;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A program section of 1500 + 8 * k payload bytes and an empty DIG section, built on first use.
const std::vector<uint8_t>& Image(uint8_t k) {
  static std::unique_ptr<std::vector<uint8_t>> images[256];
  if (!images[k])
    images[k].reset(new std::vector<uint8_t>(MakeImage({{SSection::kProgram, 1500u + k * 8u}, {SSection::kDig, 0}})));
  return *images[k];
}

// The longest the box may wait for anything, so that every wait it can be in has ended after it.
BoxTime LongestWait(const SBoxSettings& s) {
  const BoxTime blockAt9600 = BoxTime(CSerialBox::kBlockFrame) * 10 * 1000 * kBoxMs / 9600 + 1;
  BoxTime longest = BoxTime(s.syncIntervalMs) * kBoxMs;
  longest = std::max(longest, BoxTime(s.codeWaitMs + s.reopenDelayMs) * kBoxMs);
  longest = std::max(longest, BoxTime(s.readyIntervalMs) * kBoxMs);
  longest = std::max(longest, BoxTime(s.replyTimeoutMs) * kBoxMs + blockAt9600);
  for (const SBoxFault& fault : s.faults) longest = std::max(longest, BoxTime(fault.durationMs) * kBoxMs);
  return longest + kBoxMs;
}

// After running up to `now` nothing may still be due at or before it, or a caller would spin.
// Returns how many bytes the box sent.
size_t Step(CSerialBox& box, CTestPc& pc, BoxTime now, bool toPc) {
  std::vector<uint8_t> out = box.TakeOutput(now);
  if (toPc) pc.Receive(out, now);
  Check(box.NextEventTime() > now);
  return out.size();
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
  uint8_t faultKind = in.Byte() % 9;
  if (faultKind <= SBoxFault::kRestart) {
    SBoxFault fault;
    fault.kind = SBoxFault::Kind(faultKind);
    fault.point = {SBoxPoint::Kind(in.Byte() % 8), 1 + in.Byte() % 20};
    fault.code = in.Byte();
    fault.codeGiven = fault.code & 1;
    fault.randomCount = in.Byte();
    // A stream of random bytes longer than half a second only repeats itself, at a cost per byte.
    fault.durationMs = in.Byte() * (fault.kind == SBoxFault::kBabble ? 2 : 10);
    fault.download = in.Byte() % 3;
    settings.faults.push_back(fault);
  }
  const std::vector<uint8_t>& image = Image(in.Byte());
  settings.compare = true;
  settings.reference = image;

  CSerialBox box(settings, 0);
  CTestPc pc(image, {});
  BoxTime now = 0;
  size_t fed = 0;
  // A misbehaviour applies to download 1, 2 or every one, so a fourth download shows nothing new; a box
  // silent or babbling for good hears nothing more; two minutes hold every wait of the box many times.
  while (!in.Empty() && box.Results().size() < kMaxDownloads && !box.InEndlessFault() && now < kMaxTime) {
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
        now += (op & 0x80) ? BoxTime(in.Byte()) * 10 * kBoxMs : BoxTime(in.Byte()) * 100;
        break;
      case 2: {  // the test PC answers for a while, at most until the box ends one more download
        BoxTime until = now + BoxTime(in.Byte()) * 20 * kBoxMs;
        const size_t ended = box.Results().size() + 1;
        // A stream from the box (babble) is cut short: a whole download takes far fewer steps and bytes.
        size_t heard = 0;
        for (int steps = 0; now < until && box.Results().size() < ended && steps < kMaxStretchSteps &&
                            heard < kMaxStretchBytes;
             ++steps) {
          heard += Step(box, pc, now, true);
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
  now += box.InEndlessFault() ? kEndlessWindDown : LongestWait(settings);
  Step(box, pc, now, false);
  std::vector<SBoxLogEntry> log = box.TakeLog();
  // The log stays proportional to what came in and to the time that passed.
  Check(log.size() <= CSerialBox::kMaxLogEntries + 1);
  Check(box.Results().size() <= fed + size_t(now / kBoxMs) + 1);
  return 0;
}
