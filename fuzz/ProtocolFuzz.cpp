// Fuzzes the serial protocol: an arbitrary image, then arbitrary bytes from the box.
//
// Input: two bytes of image length (big-endian, at most the rest of the input), the image,
// then the box's bytes. A byte 0xFE among the box's bytes toggles the cancel flag.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "RecordingHost.h"
#include "VelOldManagerProcessor.h"

namespace {
// The log would grow with every byte; only the processor's behaviour matters here.
class QuietHost : public RecordingHost {
 public:
  intptr_t Send(unsigned int, uintptr_t, intptr_t) override { return 0; }
  void Post(unsigned int, uintptr_t, intptr_t) override {}
  void Update() override {}
  void SetTimer(unsigned int, unsigned int) override {}
  void KillTimer(unsigned int) override {}
  int ShowMessageBox(const char*, const char*, unsigned int) override { return 1; }
  void NotifyParent(const char*, long) override {}
  void MessageBeep(unsigned int) override {}
  void Pause(unsigned int) override {}
  void SignalCancel() override {}
  bool WriteData(const unsigned char*, unsigned long) override { return true; }
  void PurgePort() override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  size_t imageSize = (size_t(data[0]) << 8 | data[1]) * 8;
  if (imageSize > size - 2) imageSize = size - 2;
  QuietHost host;
  host.files["box.img"] = std::vector<unsigned char>(data + 2, data + 2 + imageSize);
  volatile int cancel = 0;
  CVelOldManagerProcessor p(&host);
  p.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
  p.SetPort(&host);
  p.SetTransferFile("box.img");
  for (size_t i = 2 + imageSize; i < size; ++i) {
    if (data[i] == 0xFE) {
      cancel = !cancel;
      continue;
    }
    p.OnReceiveByte(data[i]);
    if (p.GetState() == CVelOldManagerProcessor::kIdle && (i & 1)) p.SetTransferFile("box.img");
  }
  return 0;
}
