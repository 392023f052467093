// The status thread against the simulated box, with the view's timer ticking in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "RecordingUsbView.h"
#include "ScriptedThreadHost.h"
#include "SimUsbBox.h"
#include "StatusMonitor.h"
#include "StbDevice.h"
#include "UsbState.h"
#include "UsbStatusTimer.h"
#include "UsbTestState.h"

namespace {

using Strings = std::vector<std::string>;

std::vector<unsigned char> Record(uint32_t count, unsigned char result, std::size_t size = 16) {
  std::vector<unsigned char> r(size, 0);
  r[0] = static_cast<unsigned char>(count >> 24);
  r[1] = static_cast<unsigned char>(count >> 16);
  r[2] = static_cast<unsigned char>(count >> 8);
  r[3] = static_cast<unsigned char>(count);
  r[4] = result;
  return r;
}

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUsbState();
    host.onPause = [this](unsigned int) { OnPause(++pauses); };
    box.SetIdleStatusReadHook([this] { OnIdleRead(++idleReads); });
  }
  void TearDown() override {
    EXPECT_EQ(0, params.running);
    EXPECT_EQ(nullptr, params.readBuffer);
    EXPECT_EQ(0, box.OpenHandleCount());
    for (unsigned int ms : host.Pauses()) EXPECT_EQ(kStatusCycleMs, ms);
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) UsbStatusTimerStep(view, job);
  }
  // As the view's status thread starts it: the flag first, then the thread's procedure.
  void RunMonitor() {
    params.running = 1;
    StatusMonitor(&params);
  }
  void Stop() { RequestStatusMonitorStop(params); }
  int Opens() const {
    int n = 0;
    for (const SimTraffic& t : box.Traffic())
      if (t.kind == SimTraffic::kOpenPipe) ++n;
    return n;
  }

  std::function<void(int)> onPause = [](int) {};
  std::function<void(int)> onIdleRead = [](int) {};
  void OnPause(int n) { onPause(n); }
  void OnIdleRead(int n) { onIdleRead(n); }

  CSimUsbBox box;
  ScriptedThreadHost host;
  RecordingUsbView view;
  StatusParams params{box, host};
  DownloadJob job{box, host};
  int pauses = 0;
  int idleReads = 0;
};

TEST_F(Monitor, NoBoxGivesStateOneAndWaitingOnce) {
  box.Unplug();
  onPause = [&](int n) {
    if (n >= 2) Tick();  // the timer between the 2 s cycles
    if (n == 4) params.running = 0;
  };
  params.running = 1;
  EXPECT_EQ(0u, StatusMonitor(&params));
  EXPECT_EQ(USB_STATE_WAITING, g_usbState);
  EXPECT_EQ(0, g_connectedTicks);
  EXPECT_EQ(Strings{"Waiting"}, view.Lines());
  EXPECT_EQ(3, Opens());
  EXPECT_EQ("controls in", view.Log().front());
  EXPECT_EQ("controls out", view.Log().back());
}

TEST_F(Monitor, BoxPluggedLaterIsAnnouncedOnceAndStateFallsBackAfterTwelveTicks) {
  box.Unplug();
  onPause = [&](int n) {
    if (n == 2) {
      Tick();
      box.Plug();
    }
  };
  onIdleRead = [&](int) {
    EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
    Tick(11);
    EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
    Tick();
    EXPECT_EQ(USB_STATE_IDLE, g_usbState);
    EXPECT_EQ(13, g_connectedTicks);
    Tick(5);
    Stop();
  };
  RunMonitor();
  EXPECT_EQ((Strings{"Waiting", "USB is connected"}), view.Lines());
  EXPECT_EQ((Strings{"firmware"}), box.Requests());  // the stop ended the read: no reset
}

TEST_F(Monitor, UnplugAndReplugAnnounceTheConnectionAgain) {
  onIdleRead = [&](int n) {
    Tick();
    if (n == 1)
      box.Unplug();
    else
      Stop();
  };
  onPause = [&](int n) {
    if (n == 3) {
      Tick();  // box absent now: "Waiting", as nothing was shown before
      box.Plug();
    }
  };
  RunMonitor();
  EXPECT_EQ((Strings{"USB is connected", "Waiting", "USB is connected"}), view.Lines());

  // Once "Waiting" or "Check Firmware Version" was shown, unplugging adds nothing.
  view.Clear();
  pauses = idleReads = 0;
  g_connectedTicks = 0;  // as after a pass through the box-absent branch
  RunMonitor();
  EXPECT_EQ((Strings{"USB is connected", "USB is connected"}), view.Lines());
}

TEST_F(Monitor, FirmwareFailureEndsTheMonitorForGood) {
  box.FailRequest(STB_REQ_FIRMWARE_VERSION);
  RunMonitor();  // ends by itself
  EXPECT_EQ(USB_STATE_FIRMWARE, g_usbState);
  EXPECT_EQ(Strings{"firmware failed"}, box.Requests());
  EXPECT_EQ(1, pauses);
  Tick(3);
  EXPECT_EQ(Strings{"Check Firmware Version"}, view.Lines());

  // After "Waiting" was shown, the firmware failure adds nothing.
  ResetUsbState();
  g_stateMessageShown = 1;
  view.Clear();
  RunMonitor();
  Tick();
  EXPECT_TRUE(view.Lines().empty());
}

TEST_F(Monitor, ExpectedCountWithResultOneRunsTheDownloadAgain) {
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  g_expectedSize = 1000000;
  box.QueueStatusRecord(Record(1000000, 1));
  EXPECT_EQ(0x40, Record(1000000, 1)[3]);
  int commands = 0;
  view.onDownloadCommand = [&] {
    ++commands;
    EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
  };
  onIdleRead = [&](int) {
    EXPECT_EQ(USB_STATE_REPEAT, g_usbState);
    Tick();
    EXPECT_EQ(USB_STATE_IDLE, g_usbState);
    Stop();
  };
  RunMonitor();
  EXPECT_EQ(1, commands);
  EXPECT_TRUE(view.Lines().empty());
}

TEST_F(Monitor, ResultTwoShowsTheErrorBoxThenNotReady) {
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  g_expectedSize = 5;
  box.QueueStatusRecord(Record(77, 2));
  host.onBox = [&](const std::string&) {
    EXPECT_TRUE(view.Lines().empty());
    EXPECT_NE(USB_STATE_ERROR, g_usbState);
  };
  onIdleRead = [&](int) {
    EXPECT_EQ(USB_STATE_ERROR, g_usbState);
    Tick();
    Stop();
  };
  RunMonitor();
  EXPECT_EQ(Strings{"Program Download Error"}, host.Boxes());
  EXPECT_EQ(Strings{"Not Ready"}, view.Lines());
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
  EXPECT_EQ(USB_STATE_IDLE, g_usbState);
}

TEST_F(Monitor, RecordsAreJudgedByTheDownloadKind) {
  g_usbState = USB_STATE_CONNECTED;
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  g_expectedSize = 1000;
  EvaluateStatusRecord(Record(999, 1).data(), host);  // other count, result 1: ignored
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
  EvaluateStatusRecord(Record(1000, 3).data(), host);  // other result: ignored
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
  EvaluateStatusRecord(Record(1000, 2).data(), host);  // expected count but result 2: a failure
  EXPECT_EQ(USB_STATE_ERROR, g_usbState);
  EXPECT_EQ(1u, host.Boxes().size());

  g_usbState = USB_STATE_CONNECTED;
  g_downloadKind = DOWNLOAD_KIND_NONE;
  for (unsigned char result : {0, 1, 2, 255}) EvaluateStatusRecord(Record(1000, result).data(), host);
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
  EXPECT_EQ(1u, host.Boxes().size());

  g_downloadKind = 7;  // a kind without a meaning is dropped
  EvaluateStatusRecord(Record(1000, 1).data(), host);
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
}

TEST_F(Monitor, ShortRecordClosesThePipeAndReopensItAfterTheCycle) {
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  g_expectedSize = 1;
  box.QueueStatusRecord(Record(1, 1, 7));  // 7 bytes: not evaluated
  onIdleRead = [&](int) { Stop(); };
  RunMonitor();
  EXPECT_EQ(2, Opens());
  EXPECT_EQ(2, pauses);
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
  // An eight-byte record is evaluated.
  box.QueueStatusRecord(Record(1, 1, 8));
  pauses = idleReads = 0;
  onIdleRead = [&](int) {
    EXPECT_EQ(USB_STATE_REPEAT, g_usbState);
    Stop();
  };
  RunMonitor();
}

TEST_F(Monitor, StopBeforeTheThreadFirstRanIsKept) {
  // The view started the thread and stopped it again before the thread got going.
  params.running = 1;
  Stop();
  onIdleRead = [&](int) { Stop(); };  // a monitor that ran regardless would end here
  EXPECT_EQ(0u, StatusMonitor(&params));
  EXPECT_EQ(0, pauses);
  EXPECT_EQ(0, Opens());
  EXPECT_EQ(USB_STATE_IDLE, g_usbState);
}

TEST_F(Monitor, StopDuringThePauseOpensNothing) {
  onPause = [&](int) { Stop(); };
  RunMonitor();
  EXPECT_EQ(0, Opens());
}

TEST_F(Monitor, StopEndsAReadBlockedOnAnotherThreadAsAStopNotAFailure) {
  std::atomic<bool> reading{false};
  onIdleRead = [&](int) { reading = true; };
  std::thread t([&] { RunMonitor(); });
  while (!reading) std::this_thread::yield();
  Stop();
  t.join();
  Strings traffic;
  for (const SimTraffic& tr : box.Traffic()) traffic.push_back(tr.Describe());
  EXPECT_NE(traffic.end(), std::find(traffic.begin(), traffic.end(), "abort PIPE00"));
  EXPECT_EQ(Strings{"firmware"}, box.Requests());  // no pipe reset the box never asked for
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
}

TEST_F(Monitor, StopDuringTheFirmwareRequestLeavesNoFirmwareState) {
  // The box takes its time over request 1138; the view goes meanwhile.
  std::atomic<bool> asking{false};
  box.SetHeldRequestHook([&](uint32_t) { asking = true; });
  box.HoldRequest(STB_REQ_FIRMWARE_VERSION, true);
  std::thread t([&] { RunMonitor(); });
  while (!asking) std::this_thread::yield();
  Stop();
  t.join();
  EXPECT_EQ(USB_STATE_IDLE, g_usbState);
  Tick();
  EXPECT_TRUE(view.Lines().empty());  // the next view shows no "Check Firmware Version"
  EXPECT_EQ(Strings{"firmware failed"}, box.Requests());
}

TEST(UsbStatusTimer, StatesWithoutALineFallBackToIdle) {
  ResetUsbState();
  RecordingUsbView view;
  CSimUsbBox box;
  ScriptedThreadHost host;
  DownloadJob job(box, host);
  for (uint16_t s : {uint16_t(USB_STATE_IDLE), uint16_t(USB_STATE_REQUESTED), uint16_t(9), uint16_t(0xFFFF)}) {
    g_usbState = s;
    UsbStatusTimerStep(view, job);
    EXPECT_EQ(USB_STATE_IDLE, g_usbState) << s;
  }
  EXPECT_TRUE(view.Lines().empty());

  // State 1 sets the tick counter back, so the next connection is announced.
  g_connectedTicks = 13;
  g_usbState = USB_STATE_WAITING;
  UsbStatusTimerStep(view, job);
  EXPECT_EQ(0, g_connectedTicks);
  g_usbState = USB_STATE_CONNECTED;
  UsbStatusTimerStep(view, job);
  EXPECT_EQ((Strings{"Waiting", "USB is connected"}), view.Lines());
  EXPECT_EQ(1, g_connectedTicks);
  // A connection seen again while the counter stands at 13 adds nothing and stays.
  g_connectedTicks = 13;
  UsbStatusTimerStep(view, job);
  EXPECT_EQ(USB_STATE_CONNECTED, g_usbState);
  EXPECT_EQ(13, g_connectedTicks);
  EXPECT_EQ(2u, view.Lines().size());

  // State 5 while a download holds the job: taken in; the download keeps its kind.
  int commands = 0;
  view.onDownloadCommand = [&] { ++commands; };
  job.busy = 1;
  g_usbState = USB_STATE_REPEAT;
  g_downloadKind = DOWNLOAD_KIND_PROGRAM;
  UsbStatusTimerStep(view, job);
  EXPECT_EQ(USB_STATE_IDLE, g_usbState);
  EXPECT_EQ(DOWNLOAD_KIND_PROGRAM, g_downloadKind);
  EXPECT_EQ(0, commands);
  job.busy = 0;
  g_usbState = USB_STATE_REPEAT;
  UsbStatusTimerStep(view, job);
  EXPECT_EQ(1, commands);
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
}

}  // namespace
