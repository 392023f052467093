// Whole serial downloads in one process, on virtual time: the protocol engine on one end of a
// simulated line, the box simulator on the other. The line loses what arrives while the PC
// has its port closed, and the PC looks for bytes every 5 ms like the port monitor does.
#include <gtest/gtest.h>

#include "ImageBuilder.h"
#include "LineHost.h"
#include "ManagerEvents.h"
#include "RecordingHost.h"
#include "SerialBox.h"
#include "VelOldManagerProcessor.h"

namespace {

class Loopback : public ::testing::Test {
 protected:
  // Runs until the box has ended `downloads` downloads or virtual time runs out.
  void Run(const Bytes& image, SBoxSettings settings, unsigned long baud = 115200, size_t downloads = 1,
           BoxTime limit = 300 * 1000 * kBoxMs) {
    settings.compare = true;
    settings.reference = image;
    rearm = false;
    box = std::make_unique<CSerialBox>(settings, 0);
    host = std::make_unique<LineHost>(*box);
    host->files["box.img"] = image;
    host->configuredBaud = baud;
    processor = std::make_unique<CVelOldManagerProcessor>(host.get());
    processor->SetParentInfo(host.get(), RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
    processor->SetPort(host.get());
    processor->SetTransferFile("box.img");
    host->onEvent = [&](const HostAction& a) {
      // The serial view arms again on completion, as a user picking the file again would.
      if (a.kind == HostAction::kComplete) rearm = true;
    };
    while (box->Results().size() < downloads && host->now < limit) {
      if (host->input.empty()) {
        host->Until(host->now + LineHost::kPollUs);
        continue;
      }
      const unsigned char b = host->input.front();
      host->input.pop_front();
      processor->OnReceiveByte(b);
      if (rearm && box->Results().size() < downloads) {
        rearm = false;
        processor->SetTransferFile("box.img");
      }
      if (cancelAtProgress && host->EventTexts(EVENT_PROGRESS).size() >= cancelAtProgress) {
        cancel = 1;
        cancelAtProgress = 0;
      }
    }
  }
  const SBoxDownloadResult& Result(size_t i = 0) const { return box->Results().at(i); }
  size_t Count(const std::string& line) const {
    const auto all = host->Described();
    return std::count(all.begin(), all.end(), line);
  }

  std::unique_ptr<CSerialBox> box;
  std::unique_ptr<LineHost> host;
  std::unique_ptr<CVelOldManagerProcessor> processor;
  volatile int cancel = 0;
  size_t cancelAtProgress = 0;
  bool rearm = false;
};

SBoxFault Fault(SBoxFault::Kind kind, const char* point, uint8_t code = 0) {
  SBoxFault f;
  f.kind = kind;
  EXPECT_TRUE(SBoxPoint::Parse(point, f.point)) << point;
  f.code = code;
  f.codeGiven = code != 0;
  return f;
}

}  // namespace

TEST_F(Loopback, ImagesOfEveryKindArriveIntactAtEveryRate) {
  const Bytes images[] = {ImageBuilder().Anal().End().Get(), ImageBuilder().Program(3000).End().Get(),
                          ImageBuilder().Anal(1).Anal(2).End().Get(), ImageBuilder().Dig().Anal(5).End().Get(),
                          ImageBuilder().Program(1024).Anal(7).End().Get()};
  for (unsigned long baud : {9600ul, 19200ul, 38400ul, 57600ul, 115200ul}) {
    for (const Bytes& image : images) {
      Run(image, SBoxSettings{}, baud);
      ASSERT_EQ(1u, box->Results().size()) << baud << " image of " << image.size();
      EXPECT_TRUE(Result().Good()) << baud << ": " << Result().reason
                                   << (Result().differences.empty() ? "" : " " + Result().differences[0]);
      EXPECT_EQ(baud, Result().rate) << image.size();
      EXPECT_EQ(CVelOldManagerProcessor::kIdle, processor->GetState());
      EXPECT_EQ(1u, Count("complete"));
    }
  }
}

TEST_F(Loopback, PacedDownloadTakesTheLineTime) {
  Run(ImageBuilder().Anal().End().Get(), SBoxSettings{});
  ASSERT_TRUE(Result().Good());
  // 14 blocks of 1030 bytes and their requests, plus the two headers, at 115200 baud; the
  // PC's 5 ms polls and 1 ms pauses add at most a few ms per frame.
  const double seconds = (Result().end - Result().dataStart) / 1e6;
  const double line = (14 * 1032 + 2 * 64 + 2) * 10 / 115200.0;
  EXPECT_GE(seconds, line);
  EXPECT_LE(seconds, line + 16 * 0.0065);
}

TEST_F(Loopback, ErrorReportsAndMisbehavioursEndInARecoveredDownload) {
  const Bytes image = ImageBuilder().Anal().End().Get();
  const SBoxFault faults[] = {Fault(SBoxFault::kErrorReport, "block:5", 0x57),
                              Fault(SBoxFault::kErrorReport, "ready", 0x51),
                              Fault(SBoxFault::kErrorReport, "header:2", 0x59),
                              Fault(SBoxFault::kGarbage, "func"),
                              Fault(SBoxFault::kWrongEcho, "echo"),
                              Fault(SBoxFault::kGarbage, "block:3")};
  for (SBoxFault fault : faults) {
    if (fault.kind == SBoxFault::kGarbage) fault.randomCount = 7;
    SBoxSettings settings;
    settings.faults = {fault};
    // Whether or not the fault breaks the first download, the second one arrives intact.
    Run(image, settings, 115200, 2);
    ASSERT_EQ(2u, box->Results().size()) << fault.Describe();
    EXPECT_TRUE(Result(1).Good()) << fault.Describe() << ": " << Result(1).reason;
    EXPECT_EQ(Result(0).Good() ? 2u : 1u, Count("complete")) << fault.Describe();
  }
}

TEST_F(Loopback, SwappedRequestIsServedWithinTheSameDownload) {
  SBoxSettings settings;
  settings.faults = {Fault(SBoxFault::kSwapRequest, "block:4")};
  Run(ImageBuilder().Anal().End().Get(), settings);
  EXPECT_TRUE(Result().Good()) << Result().reason;
  EXPECT_EQ(1u, Count("1:Invalid Protocol : DATA_HEADER 2 4 69"));
}

TEST_F(Loopback, CancelReturnsToWaitingForSyncAtNineHundredBaud) {
  cancelAtProgress = 20;
  Run(ImageBuilder().Anal().End().Get(), SBoxSettings{}, 115200, 1, 30 * 1000 * kBoxMs);
  EXPECT_EQ(1u, Count("0*:Canceled..."));
  EXPECT_EQ(CVelOldManagerProcessor::kWaitSync, processor->GetState());
  EXPECT_EQ(9600u, host->GetBaudRate());
  ASSERT_FALSE(box->Results().empty());
  EXPECT_FALSE(Result().Good());
}
