// The box asks for the download again (state 5) while a worker still holds the job: the
// real status thread, workers on threads of their own and the view's timer ticking.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "DownloadWorker.h"
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

const char* const kPath = "C:\\fw\\box.img";
constexpr uint32_t kSize = 5000;

// Waits on the test's thread for what another thread does; false after 10 s.
bool WaitUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A one-shot gate that one thread waits at until the test opens it.
class Gate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_reached = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_open; });
  }
  bool Reached() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_reached;
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_reached = false;
  bool m_open = false;
};

struct Case {
  const char* when;
  bool holdEndOfData;  // the box does not complete request 7: the worker waits its 10 s for it
  bool holdOpening;    // the worker is held before it opens the image file
  Strings lines;       // the lines of the one download
};

class OneWorkerPerJob : public ::testing::TestWithParam<Case> {};

TEST_P(OneWorkerPerJob, StateFiveWhileAWorkerHoldsTheJobStartsNothing) {
  const Case& c = GetParam();
  ResetUsbState();
  CSimUsbBox box;
  ScriptedThreadHost host;
  host.realThreads = true;
  host.files[kPath] = std::vector<unsigned char>(kSize, 0x5A);
  RecordingUsbView view;
  DownloadJob job(box, host);
  view.job = &job;
  // A request 7 that is held runs on a thread of its own, started by the worker.
  view.endOfDataInline = !c.holdEndOfData;
  box.SetFlashScript({{0, 0}});

  // The worker's own wait for the end of data, or its opening, is where the job is held.
  Gate held;
  std::atomic<bool> firstSlice{true};
  std::atomic<bool> endOfDataArrived{false};
  box.SetHeldRequestHook([&](uint32_t) { endOfDataArrived = true; });
  host.onPause = [&](unsigned int ms) {
    // The box starts its flash on request 7: polls wait for it to arrive.
    if (c.holdEndOfData && ms == kFlashPollMs) WaitUntil([&] { return endOfDataArrived.load(); });
    if (c.holdEndOfData && ms == kEndOfDataSliceMs && firstSlice.exchange(false)) held.Wait();
  };
  std::atomic<bool> firstOpen{true};
  host.onOpenImage = [&](const std::string&) {
    if (c.holdOpening && firstOpen.exchange(false)) held.Wait();
  };
  if (c.holdEndOfData) {
    box.HoldRequest(STB_REQ_END_OF_DATA, true);
    box.ReportResultAtEndOfData(1);  // the whole image taken, result 1: "run it again"
  }

  // What the Download button runs: the header and the job, then the worker.
  std::atomic<int> active{0};
  std::atomic<int> most{0};
  std::vector<std::thread> workers;
  view.onDownloadCommand = [&] {
    if (StartDownload(job, view, kPath, kSize) != 1) return;
    workers.emplace_back([&] {
      const int now = ++active;
      int seen = most;
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      DownloadWorker(&job);
      --active;
    });
  };

  StatusParams params(box, host);
  params.running = 1;
  std::thread monitor([&] { StatusMonitor(&params); });
  ASSERT_TRUE(WaitUntil([] { return g_usbState == USB_STATE_CONNECTED; }));

  view.onDownloadCommand();  // the person presses Download
  ASSERT_TRUE(WaitUntil([&] { return held.Reached(); }));
  if (!c.holdEndOfData) box.QueueStatusRecord({0, 0, 0x13, 0x88, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(WaitUntil([] { return g_usbState == USB_STATE_REPEAT; }));
  UsbStatusTimerStep(view, job);  // the view's timer sees state 5 while the job is held
  EXPECT_EQ(USB_STATE_IDLE, g_usbState);
  held.Open();

  ASSERT_TRUE(WaitUntil([&] { return view.Count("msg 07FF") >= 1 && active == 0; }));
  for (std::thread& w : workers) w.join();
  box.Unplug();  // frees an end-of-data thread still held in request 7
  host.JoinThreads();
  RequestStatusMonitorStop(params);
  monitor.join();

  Strings requests = box.Requests();
  EXPECT_EQ(1, std::count(requests.begin(), requests.end(), "header box.img 5000")) << ::testing::PrintToString(requests);
  EXPECT_EQ(1u, workers.size());
  EXPECT_EQ(1, most.load());
  EXPECT_EQ(1, view.Count("msg 07FF"));
  EXPECT_EQ(c.lines, view.Lines());
  EXPECT_EQ(0, job.busy);
  EXPECT_EQ(0, box.OpenHandleCount());
}

const Case kCases[] = {
    {"while the worker waits for the end of data", true, false,
     {"Download Start", "Complete", kEndOfDataTimeoutText}},
    {"while the worker opens its file, pipe and device", false, true, {"Download Start", "Complete"}},
};

INSTANTIATE_TEST_SUITE_P(Usb, OneWorkerPerJob, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return info.param.holdEndOfData ? "EndOfDataWait" : "Opening";
                         });

}  // namespace
