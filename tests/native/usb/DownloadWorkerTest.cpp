// Whole USB downloads against the simulated box, request by request, with the lines the user sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "DemoUsbBox.h"
#include "DownloadWorker.h"
#include "RecordingUsbView.h"
#include "ScriptedThreadHost.h"
#include "SimUsbBox.h"
#include "StbCommands.h"
#include "StbDevice.h"
#include "UsbMessages.h"
#include "UsbTestState.h"

namespace {

using Strings = std::vector<std::string>;

const char* const kPath = "C:\\fw\\box.img";

std::vector<unsigned char> Image(std::size_t n) {
  std::vector<unsigned char> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
  return v;
}

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetUsbState();
    view.job = &job;
  }
  void TearDown() override {
    EXPECT_EQ(0, box.OpenHandleCount()) << "handles left open";
    EXPECT_EQ(0, host.OpenFiles()) << "image file left open";
    EXPECT_TRUE(box.Violations().empty()) << box.Violations().front();
  }

  // StartDownload then the worker, as the view does; the worker's result, or -1 when
  // StartDownload refused.
  int64_t Run(const std::vector<unsigned char>& image, uint32_t announcedSize) {
    host.files[kPath] = image;
    if (StartDownload(job, view, kPath, announcedSize) != 1) return -1;
    return DownloadWorker(&job);
  }
  int64_t Run(const std::vector<unsigned char>& image) {
    return Run(image, static_cast<uint32_t>(image.size()));
  }
  // Flash requests seen by the box.
  int FlashPolls() const {
    int n = 0;
    for (const SimTraffic& t : box.Traffic())
      if (t.kind == SimTraffic::kReadRequest && t.request == STB_REQ_FLASH_STATUS) ++n;
    return n;
  }
  // The last message sent to the view is the done message, sent once.
  void ExpectDoneOnceAtTheEnd() {
    Strings log = view.Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("msg 07FF", log.back());
    EXPECT_EQ(1, view.Count("msg 07FF"));
    EXPECT_EQ(0, job.running);
    EXPECT_EQ(0, job.busy);  // given back by the view's answer to the done message
  }

  CSimUsbBox box;
  ScriptedThreadHost host;
  RecordingUsbView view;
  DownloadJob job{box, host};
};

TEST_F(Download, ImageOf4097BytesGoesInTwoPassesAndFollowsTheFlashToCompletion) {
  std::vector<unsigned char> image = Image(4097);
  EXPECT_EQ(4097, Run(image));

  EXPECT_EQ((Strings{"header box.img 4097", "announce 4096", "bulk 4096", "announce 1", "bulk 1", "end of data",
                     "flash 1,50", "flash 1,100", "flash 2,50", "flash 2,100", "flash 0,0"}),
            box.Requests());
  EXPECT_EQ(image, box.ReceivedImage());
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), view.Lines());
  EXPECT_EQ((std::vector<int>{0, 99, 100}), view.Bar(UsbProgressBar::kDownload));
  EXPECT_EQ((std::vector<int>{50, 100}), view.Bar(UsbProgressBar::kErase));
  EXPECT_EQ((std::vector<int>{50, 100}), view.Bar(UsbProgressBar::kWrite));
  EXPECT_EQ((std::vector<unsigned int>(5, kFlashPollMs)), host.Pauses());
  EXPECT_EQ(1, view.Count("text download Downloading"));
  EXPECT_EQ(DOWNLOAD_KIND_PROGRAM, g_downloadKind);
  EXPECT_EQ(4097u, g_expectedSize);

  // The view hears: data sent, end sent (from the end-of-data step), done.
  Strings msgs;
  for (const std::string& e : view.Log())
    if (e.compare(0, 4, "msg ") == 0) msgs.push_back(e);
  EXPECT_EQ((Strings{"msg 07FD", "msg 07FE", "msg 07FF"}), msgs);
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, MultipleOf4096NeedsNoExtraPass) {
  std::vector<unsigned char> image = Image(8192);
  box.SetFlashScript({{0, 0}});
  EXPECT_EQ(8192, Run(image));
  EXPECT_EQ((Strings{"header box.img 8192", "announce 4096", "bulk 4096", "announce 4096", "bulk 4096",
                     "end of data", "flash 0,0"}),
            box.Requests());
  EXPECT_EQ((std::vector<int>{0, 50, 100}), view.Bar(UsbProgressBar::kDownload));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, PartialWritesAreCompletedFromTheRightOffset) {
  std::vector<unsigned char> image = Image(5000);
  box.QueueWriteLimit(1000);  // first chunk: 1000 of 4096
  box.QueueWriteLimit(4096);
  box.QueueWriteLimit(300);   // last chunk: 300 of 904
  box.SetFlashScript({{0, 0}});
  EXPECT_EQ(5000, Run(image));
  EXPECT_EQ((Strings{"header box.img 5000", "announce 4096", "bulk 1000 of 4096", "announce 3096", "bulk 3096",
                     "announce 904", "bulk 300 of 904", "announce 604", "bulk 604", "end of data", "flash 0,0"}),
            box.Requests());
  EXPECT_EQ(image, box.ReceivedImage());
  EXPECT_EQ((std::vector<int>{0, 20, 81, 87, 100}), view.Bar(UsbProgressBar::kDownload));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, FlashPhasesShowTheirLinesOnceAndInOrder) {
  box.SetFlashScript({{1, 40}, {1, 40}, {2, 10}, {2, 10}, {0, 0}});
  EXPECT_EQ(4096, Run(Image(4096)));
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), view.Lines());
  EXPECT_EQ((std::vector<int>{40, 40}), view.Bar(UsbProgressBar::kErase));
  EXPECT_EQ((std::vector<int>{10, 10}), view.Bar(UsbProgressBar::kWrite));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, WritePhaseWithoutEraseMovesTheBarButAddsNoLine) {
  box.SetFlashScript({{2, 10}, {1, 30}, {2, 60}, {0, 0}});
  EXPECT_EQ(100, Run(Image(100)));
  // Erase after write still shows, and then write shows once.
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), view.Lines());
  EXPECT_EQ((std::vector<int>{10, 60}), view.Bar(UsbProgressBar::kWrite));

  box.SetFlashScript({{2, 10}, {2, 20}, {0, 0}});
  view.Clear();
  EXPECT_EQ(100, Run(Image(100)));
  EXPECT_EQ((Strings{"Download Start", "Complete"}), view.Lines());
  EXPECT_EQ((std::vector<int>{10, 20}), view.Bar(UsbProgressBar::kWrite));
}

TEST_F(Download, EachErrorCodeOfTheBoxShowsItsTextAndEndsThePolling) {
  const char* texts[] = {
      "Header CRC is not correct. Check File.",         "Data CRC is not correct. Check File.",
      "Vendor ID is not correct. Check File.",          "Product ID is not correct. Check File.",
      "H/W model is not mached. Check File.",           "Can not find requested partition. Check File.",
      "Image size is too big. Check File.",             "Can not erase target file on flash. Try again.",
      "Can not write file to flash. Try again.",        "Unknown error.",
  };
  for (int code = -1; code <= 11; ++code) {
    SCOPED_TRACE(code);
    view.Clear();
    box.SetFlashScript({{1, 10}, {3, static_cast<signed char>(code)}, {0, 0}});
    int before = FlashPolls();
    EXPECT_EQ(64, Run(Image(64)));
    EXPECT_EQ(2, FlashPolls() - before);  // the error reply ends the polling
    Strings expected{"Download Start", "Erase Flash"};
    if (code >= 1 && code <= 10) expected.push_back(texts[code - 1]);
    EXPECT_EQ(expected, view.Lines());
    ExpectDoneOnceAtTheEnd();
  }
}

TEST_F(Download, ABoxStuckInAPhaseWithoutMeaningIsGivenUpAfterAMinute) {
  box.SetFlashScript({{1, 10}, {4, 0}, {6, 1}, {4, 2}});  // then phase 4 for ever
  EXPECT_EQ(64, Run(Image(64)));
  EXPECT_EQ(1 + static_cast<int>(kFlashUnknownPhasePolls), FlashPolls());
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", kFlashNoStatusText}), view.Lines());
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, SlowEraseAndWriteAreFollowedWhileTheyMoveAndGivenUpWithTheirOwnText) {
  // Coarse percentages: each stays for well over a minute before it moves.
  std::vector<FlashReply> slow;
  for (signed char v : {0, 50}) slow.insert(slow.end(), 1000, FlashReply{1, v});
  for (signed char v : {0, 100}) slow.insert(slow.end(), 1000, FlashReply{2, v});
  slow.push_back({0, 0});
  box.SetFlashScript(slow);
  EXPECT_EQ(64, Run(Image(64)));
  EXPECT_EQ((Strings{"Download Start", "Erase Flash", "Writing in Flash", "Complete"}), view.Lines());
  ExpectDoneOnceAtTheEnd();

  // An erase or a write that does not move for ten minutes is given up, and says which.
  for (signed char phase : {1, 2}) {
    SCOPED_TRACE(static_cast<int>(phase));
    view.Clear();
    box.SetFlashScript({{phase, 5}, {phase, 30}});  // then 30 % for ever
    int before = FlashPolls();
    EXPECT_EQ(64, Run(Image(64)));
    EXPECT_EQ(1 + static_cast<int>(kFlashNoProgressPolls), FlashPolls() - before);
    EXPECT_EQ(phase == 1 ? kEraseStalledText : kWriteStalledText, view.Lines().back());
    ExpectDoneOnceAtTheEnd();
  }
}

TEST_F(Download, ABoxThatKeepsChangingIsGivenUpAfterTheOverallBound) {
  std::vector<FlashReply> script;
  for (int i = 0; i < 10000; ++i) script.push_back({1, static_cast<signed char>(i % 2)});
  box.SetFlashScript(script);
  EXPECT_EQ(64, Run(Image(64)));
  EXPECT_EQ(static_cast<int>(kFlashMaxPolls), FlashPolls());
  EXPECT_EQ(kFlashStalledText, view.Lines().back());
}

// --- Failures, row by row.

TEST_F(Download, HeaderRequestFailures) {
  box.Unplug();  // no device at all: both lines, each with a refresh
  EXPECT_EQ(-1, Run(Image(10)));
  EXPECT_EQ((Strings{"line:Open device handle failed!", "controls out", "line:USB is not connect!", "controls out"}),
            view.Log());
  box.Plug();

  view.Clear();
  box.FailRequest(STB_REQ_DOWNLOAD_HEADER);
  EXPECT_EQ(-1, Run(Image(10)));
  EXPECT_EQ((Strings{"line:USB is not connect!", "controls out"}), view.Log());

  view.Clear();
  CSimUsbBox zero;
  zero.AnswerZeroCount(STB_REQ_DOWNLOAD_HEADER);
  DownloadJob zeroJob(zero, host);
  EXPECT_EQ(0, StartDownload(zeroJob, view, kPath, 10));  // accepted with 0 bytes: a failure, no line
  EXPECT_TRUE(view.Log().empty());
  EXPECT_EQ(Strings{"header box.img 10"}, zero.Requests());
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
}

TEST_F(Download, EmptyImageIsRefusedBeforeTheHeader) {
  EXPECT_EQ(-1, Run({}));
  EXPECT_EQ(Strings{kEmptyImageText}, view.Lines());
  EXPECT_TRUE(box.Traffic().empty());
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
}

TEST_F(Download, AStillRunningWorkerRefusesTheNewJobAfterTheHeaderWent) {
  job.running = 1;
  EXPECT_EQ(0, StartDownload(job, view, kPath, 10));
  EXPECT_EQ(Strings{"header box.img 10"}, box.Requests());
  EXPECT_EQ(DOWNLOAD_KIND_NONE, g_downloadKind);
  job.running = 0;
}

TEST_F(Download, WorkerThatCannotOpenTheFile) {
  ASSERT_EQ(1, StartDownload(job, view, kPath, 10));
  view.Clear();
  EXPECT_EQ(0u, DownloadWorker(&job));  // the file is not there
  EXPECT_EQ((Strings{"line:Can't open!!", "msg 07FF"}), view.Log());
  EXPECT_EQ(Strings{"header box.img 10"}, box.Requests());
}

TEST_F(Download, WorkerThatCannotOpenThePipe) {
  box.FailPipeOpens(kDataPipeName, true);
  EXPECT_EQ(0, Run(Image(10)));
  EXPECT_EQ((Strings{"Open driver failed! Can't write to PIPE03."}), view.Lines());
  ExpectDoneOnceAtTheEnd();
  // The file was let go (checked on tear-down): the next try streams it.
  box.FailPipeOpens(kDataPipeName, false);
  view.Clear();
  EXPECT_EQ(10, Run(Image(10)));
}

TEST_F(Download, WorkerThatCannotOpenTheDevice) {
  host.files[kPath] = Image(10);
  ASSERT_EQ(1, StartDownload(job, view, kPath, 10));
  box.FailDeviceOpens(true);
  view.Clear();
  EXPECT_EQ(0u, DownloadWorker(&job));
  EXPECT_EQ((Strings{"Open device handle failed! Can't write to PIPE03."}), view.Lines());
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, PathsTooLongAreReportedWherePathsAreOpened) {
  box.FailOpens(UsbOpenFailure::kPathTooLong);
  EXPECT_EQ(0u, SendStbRequest(box, view, STB_REQ_END_OF_DATA, 0, nullptr));
  EXPECT_EQ((Strings{"Open device handle failed!", kPathTooLongText, "USB is not connect!"}), view.Lines());

  view.Clear();
  host.files[kPath] = Image(10);
  job.view = &view;
  job.imagePath = kPath;
  job.imageSize = 10;
  job.dataRequest = STB_REQ_DATA_TRANSFER;
  EXPECT_EQ(0u, DownloadWorker(&job));
  EXPECT_EQ((Strings{"Open driver failed! Can't write to PIPE03.", kPathTooLongText}), view.Lines());
}

TEST_F(Download, FailedTransferRequestStopsStreaming) {
  box.FailRequest(STB_REQ_DATA_TRANSFER, 1);  // the second announcement fails
  EXPECT_EQ(4096, Run(Image(5000)));
  EXPECT_EQ((Strings{"header box.img 5000", "announce 4096", "bulk 4096", "announce 904 failed"}), box.Requests());
  EXPECT_EQ((Strings{"Download Start", "Requesting data transfer on PIPE03 failed!"}), view.Lines());
  EXPECT_EQ((std::vector<int>{0, 81, 0}), view.Bar(UsbProgressBar::kDownload));
  EXPECT_EQ(0, view.Count("msg 07FD"));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, FailedRequestForTheRestOfAPartialWrite) {
  box.QueueWriteLimit(100);
  box.FailRequest(STB_REQ_DATA_TRANSFER, 1);
  EXPECT_EQ(100, Run(Image(5000)));
  EXPECT_EQ((Strings{"header box.img 5000", "announce 4096", "bulk 100 of 4096", "announce 3996 failed"}),
            box.Requests());
  EXPECT_EQ((Strings{"Download Start", "Requesting data transfer on PIPE03 failed!"}), view.Lines());
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, FailedWriteResetsThePipe) {
  box.FailWrite(1);
  EXPECT_EQ(4096, Run(Image(5000)));
  EXPECT_EQ((Strings{"header box.img 5000", "announce 4096", "bulk 4096", "announce 904", "bulk 0 of 904 failed",
                     "reset PIPE03"}),
            box.Requests());
  EXPECT_EQ((Strings{"Download Start", "Writing PIPE03 failed!"}), view.Lines());
  EXPECT_EQ(0, view.Bar(UsbProgressBar::kDownload).back());
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, StalledPipeIsAWriteFailureNotAnEndlessLoop) {
  box.StallWrites(true);
  EXPECT_EQ(0, Run(Image(5000)));
  EXPECT_EQ((Strings{"header box.img 5000", "announce 4096", "bulk 0 of 4096", "reset PIPE03"}), box.Requests());
  EXPECT_EQ((Strings{"Download Start", "Writing PIPE03 failed!"}), view.Lines());
  ExpectDoneOnceAtTheEnd();
}

// The box leaves one of the worker's device calls unanswered: the view's 500 ms timer
// aborts it after 10 s (20 ticks seen, the abort on the 21st), and the worker ends the
// download with the call's own line and one naming the request.
TEST_F(Download, ACallTheBoxLeavesUnansweredIsAbortedAfterTenSeconds) {
  struct Row {
    const char* what;
    std::function<void(bool)> hold;
    Strings lines;
    Strings lastRequests;
  } rows[] = {
      {"request 4", [&](bool on) { box.HoldRequest(STB_REQ_DATA_TRANSFER, on); },
       {"Download Start", "Requesting data transfer on PIPE03 failed!",
        "Settop did not answer within 10 s. Try again."},
       {"header box.img 5000", "announce 4096 failed"}},
      {"the PIPE03 write", [&](bool on) { box.HoldWrites(on); },
       {"Download Start", "Writing PIPE03 failed!", "Settop took no data within 10 s. Try again."},
       {"announce 4096", "bulk 0 of 4096 failed", "reset PIPE03"}},
      {"request 1139", [&](bool on) { box.HoldRequest(STB_REQ_FLASH_STATUS, on); },
       {"Download Start", "Failed communication Settop.",
        "Settop did not answer within 10 s. Try again."},
       {"bulk 904", "end of data", "read request 1139 2 failed"}},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.what);
    view.Clear();
    std::atomic<bool> waiting{false};
    box.SetHeldRequestHook([&](uint32_t) { waiting = true; });
    row.hold(true);
    host.files[kPath] = Image(5000);
    ASSERT_EQ(1, StartDownload(job, view, kPath, 5000));
    std::thread worker([&] { DownloadWorker(&job); });
    while (!waiting) std::this_thread::yield();
    auto aborts = [&] {
      int n = 0;
      for (const SimTraffic& t : box.Traffic()) n += t.kind == SimTraffic::kAbort;
      return n;
    };
    const int before = aborts();
    for (int tick = 0; tick < 20; ++tick) job.callWatch.Tick(box, view);
    EXPECT_EQ(before, aborts()) << "aborted before 10 s";
    EXPECT_EQ(0, view.Count("msg 07FF"));
    job.callWatch.Tick(box, view);
    worker.join();
    EXPECT_EQ(before + 1, aborts());
    EXPECT_EQ(row.lines, view.Lines());
    Strings requests = box.Requests();
    ASSERT_GE(requests.size(), row.lastRequests.size());
    EXPECT_EQ(row.lastRequests, Strings(requests.end() - row.lastRequests.size(), requests.end()));
    ExpectDoneOnceAtTheEnd();
    row.hold(false);
    // Ticks after the call came back touch nothing.
    job.callWatch.Tick(box, view);
    EXPECT_EQ(before + 1, aborts());
  }
  // The next download goes through.
  view.Clear();
  EXPECT_EQ(5000, Run(Image(5000)));
  EXPECT_EQ("Complete", view.Lines().back());
}

TEST_F(Download, ADriverThatKeepsTheAbortedCallIsToldAboutOnceAndUnpluggingEndsIt) {
  std::atomic<bool> waiting{false};
  box.SetHeldRequestHook([&](uint32_t) { waiting = true; });
  box.HoldRequest(STB_REQ_DATA_TRANSFER, true);
  box.KeepAbortedCalls(true);
  host.files[kPath] = Image(5000);
  ASSERT_EQ(1, StartDownload(job, view, kPath, 5000));
  std::thread worker([&] { DownloadWorker(&job); });
  while (!waiting) std::this_thread::yield();
  // Aborted at 10 s; 5 s later the person is told what ends it; more ticks add nothing.
  for (int tick = 0; tick < 30; ++tick) job.callWatch.Tick(box, view);
  EXPECT_EQ(Strings{"Download Start"}, view.Lines());
  job.callWatch.Tick(box, view);
  const char* const told = "The USB driver holds the request. Unplug the Settop.";
  EXPECT_EQ((Strings{"Download Start", told}), view.Lines());
  for (int tick = 0; tick < 40; ++tick) job.callWatch.Tick(box, view);
  EXPECT_EQ(0, view.Count("msg 07FF"));
  box.Unplug();
  worker.join();
  EXPECT_EQ((Strings{"Download Start", told, "Requesting data transfer on PIPE03 failed!",
                     "Settop did not answer within 10 s. Try again.", "Settop is not connected. Check the USB cable."}),
            view.Lines());
  ExpectDoneOnceAtTheEnd();
  box.Plug();
}

// A box unplugged in the middle: the failed call's own line, then what the person can do.
TEST(DownloadUnplugged, AFailureWithTheBoxGoneSaysSoInWords) {
  struct Row {
    const char* fault;  // the dry-run box's word for where it is unplugged
    Strings lines;
  } rows[] = {
      {"unplug-data", {"Download Start", "Writing PIPE03 failed!", "Settop is not connected. Check the USB cable."}},
      {"unplug-erase", {"Download Start", "Erase Flash", "Failed communication Settop.",
                        "Settop is not connected. Check the USB cable."}},
      {"unplug-write", {"Download Start", "Erase Flash", "Writing in Flash", "Failed communication Settop.",
                        "Settop is not connected. Check the USB cable."}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    ResetUsbState();
    CDemoUsbBox box;
    ASSERT_TRUE(box.ArmFault(row.fault));
    ScriptedThreadHost host;
    host.files[kPath] = Image(3 * 4096);
    RecordingUsbView view;
    DownloadJob job(box, host);
    view.job = &job;
    ASSERT_EQ(1, StartDownload(job, view, kPath, 3 * 4096));
    DownloadWorker(&job);
    EXPECT_EQ(row.lines, view.Lines());
    EXPECT_EQ("msg 07FF", view.Log().back());
    EXPECT_EQ(0, box.OpenHandleCount());
  }
}

TEST_F(Download, FileShorterThanItsAnnouncedSizeStopsWithALine) {
  EXPECT_EQ(5000, Run(Image(5000), 8192));
  EXPECT_EQ((Strings{"header box.img 8192", "announce 4096", "bulk 4096", "announce 904", "bulk 904", "announce 0",
                     "bulk 0"}),
            box.Requests());
  EXPECT_EQ((Strings{"Download Start", kImageEndedText}), view.Lines());
  EXPECT_EQ(0, view.Bar(UsbProgressBar::kDownload).back());
  EXPECT_EQ(0, view.Count("msg 07FD"));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, FailedFlashStatusRequestEndsAtOnce) {
  box.FailRequest(STB_REQ_FLASH_STATUS);
  EXPECT_EQ(10, Run(Image(10)));
  EXPECT_EQ((Strings{"Download Start", "Failed communication Settop."}), view.Lines());
  EXPECT_TRUE(host.Pauses().empty());  // no pause after the failure
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, DownloadKindClearedMeanwhileSkipsTheFlash) {
  host.files[kPath] = Image(10);
  ASSERT_EQ(1, StartDownload(job, view, kPath, 10));
  g_downloadKind = DOWNLOAD_KIND_NONE;  // the timer took in the box's outcome
  EXPECT_EQ(10u, DownloadWorker(&job));
  EXPECT_EQ((Strings{"header box.img 10", "announce 10", "bulk 10"}), box.Requests());
  EXPECT_EQ(0, view.Bar(UsbProgressBar::kDownload).back());
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, EndOfDataFailureIsShownInTheMessageListAndPollingGoesOn) {
  box.FailRequest(STB_REQ_END_OF_DATA);
  box.SetFlashScript({{0, 0}});
  EXPECT_EQ(10, Run(Image(10)));
  Strings lines = view.Lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("STB not connect!", lines[1]);
  EXPECT_EQ(1, view.Count("msg 07FE"));
  ExpectDoneOnceAtTheEnd();
}

TEST_F(Download, DoneWaitsForAnEndOfDataThreadStillRunning) {
  // The end-of-data step runs on a thread of its own that only gets going once the
  // worker has finished polling and waits for it.
  view.endOfDataInline = false;  // the worker starts the step itself
  host.realThreads = true;
  std::atomic<bool> released{false};
  std::atomic<bool> arrived{false};
  box.SetHeldRequestHook([&](uint32_t) { arrived = true; });
  box.HoldRequest(STB_REQ_END_OF_DATA, true);
  host.onPause = [&](unsigned int ms) {
    while (!arrived) std::this_thread::yield();  // the box has request 7 before it is polled again
    if (ms != kEndOfDataSliceMs || released) return;
    released = true;
    box.HoldRequest(STB_REQ_END_OF_DATA, false);
    while (view.Count("msg 07FE") == 0) std::this_thread::yield();
  };
  box.SetFlashScript({{0, 0}});
  EXPECT_EQ(10, Run(Image(10)));
  host.JoinThreads();
  Strings msgs;
  for (const std::string& e : view.Log())
    if (e.compare(0, 4, "msg ") == 0) msgs.push_back(e);
  EXPECT_EQ((Strings{"msg 07FD", "msg 07FE", "msg 07FF"}), msgs);
  EXPECT_EQ((Strings{"Download Start", "Complete"}), view.Lines());
}

TEST_F(Download, BoxThatNeverCompletesTheEndOfDataDoesNotHoldTheViewBusy) {
  // The view and the job go as soon as the view has the done message, while the
  // end-of-data thread is still blocked in request 7; when it comes back, it must touch
  // neither (the sanitizer sees to that).
  host.realThreads = true;
  std::atomic<bool> arrived{false};
  box.SetHeldRequestHook([&](uint32_t) { arrived = true; });
  host.onPause = [&](unsigned int) {
    while (!arrived) std::this_thread::yield();
  };
  box.HoldRequest(STB_REQ_END_OF_DATA, true);
  box.SetFlashScript({{0, 0}});
  auto gone = std::make_unique<RecordingUsbView>();
  auto goneJob = std::make_unique<DownloadJob>(box, host);
  host.files[kPath] = Image(10);
  ASSERT_EQ(1, StartDownload(*goneJob, *gone, kPath, 10));
  EXPECT_EQ(10u, DownloadWorker(goneJob.get()));
  Strings log = gone->Log();
  EXPECT_EQ("msg 07FF", log.back());
  EXPECT_EQ((Strings{"Download Start", "Complete", kEndOfDataTimeoutText}), gone->Lines());
  EXPECT_EQ(0, gone->Count("msg 07FE"));
  unsigned int waited = 0;
  for (unsigned int ms : host.Pauses())
    if (ms == kEndOfDataSliceMs) waited += ms;
  EXPECT_EQ(kEndOfDataWaitMs, waited);
  EXPECT_EQ(nullptr, goneJob->endOfData);
  goneJob.reset();
  gone.reset();
  // Giving up on it aborted request 7: the thread ends, and its failure line has no view to go to.
  bool ended = false;
  for (int i = 0; i < 2000 && !ended; ++i) {
    Strings requests = box.Requests();
    ended = std::find(requests.begin(), requests.end(), "end of data failed") != requests.end();
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(ended) << "request 7 still held after the worker gave up on it";
  if (!ended) box.Unplug();
  host.JoinThreads();
  EXPECT_EQ(0, box.OpenHandleCount());
}

TEST_F(Download, EndOfDataIsSentOnceWhateverTheViewAnswers) {
  // A view that answers 0 (or does not handle the message): the worker sends request 7.
  view.endOfDataInline = false;
  box.SetFlashScript({{0, 0}});
  EXPECT_EQ(10, Run(Image(10)));
  EXPECT_EQ((Strings{"header box.img 10", "announce 10", "bulk 10", "end of data", "flash 0,0"}), box.Requests());
  EXPECT_EQ(1, view.Count("msg 07FE"));
  EXPECT_EQ(1, host.ThreadsStarted());
  ExpectDoneOnceAtTheEnd();

  // A view that starts it and answers 0 all the same: still once.
  view.Clear();
  view.endOfDataInline = true;
  struct ZeroAnswer : RecordingUsbView {
    intptr_t SendViewMessage(unsigned int msg) override {
      RecordingUsbView::SendViewMessage(msg);
      return 0;
    }
  } zero;
  zero.job = &job;
  int before = static_cast<int>(box.Requests().size());
  host.files[kPath] = Image(10);
  ASSERT_EQ(1, StartDownload(job, zero, kPath, 10));
  EXPECT_EQ(10u, DownloadWorker(&job));
  Strings after = box.Requests();
  EXPECT_EQ(1, std::count(after.begin() + before, after.end(), "end of data"));
  EXPECT_EQ(1, zero.Count("msg 07FE"));

  // A view that answers 1 but starts nothing: the bounded wait ends it.
  RecordingUsbView liar;
  liar.job = &job;
  liar.endOfDataInline = false;
  liar.dataSentAnswer = 1;
  ASSERT_EQ(1, StartDownload(job, liar, kPath, 10));
  EXPECT_EQ(10u, DownloadWorker(&job));
  EXPECT_EQ(kEndOfDataTimeoutText, liar.Lines().back());
  EXPECT_EQ("msg 07FF", liar.Log().back());
}

}  // namespace
