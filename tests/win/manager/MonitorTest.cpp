// The port monitor and the manager's wiring: every byte reaches the current processor on
// one reader thread, and stopping never deadlocks nor leaves a reader behind.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>

#include "LibraryState.h"
#include "MessageBoxWatcher.h"
#include "SerialPeer.h"
#include "TempFile.h"
#include "TestClientWindow.h"
#include "VelManager.h"
#include "VelManagerProcessor.h"

namespace {

std::atomic<bool> g_recorderAlive{false};
std::atomic<bool> g_usedAfterDelete{false};
std::atomic<bool> g_readerAliveAtDelete{false};

// Stands in for the protocol: records each byte and the thread that delivered it, and
// reports it to the client window from the reader thread.
class RecordingProcessor : public CVelManagerProcessor {
 public:
  RecordingProcessor() : CVelManagerProcessor(&Library().services) { g_recorderAlive = true; }
  ~RecordingProcessor() override {
    if (readerThread) {
      HANDLE t = OpenThread(SYNCHRONIZE, FALSE, readerThread);
      if (t) {
        if (WaitForSingleObject(t, 0) == WAIT_TIMEOUT) g_readerAliveAtDelete = true;
        CloseHandle(t);
      }
    }
    g_recorderAlive = false;
  }
  void OnReceiveByte(unsigned char byte) override {
    if (!g_recorderAlive) g_usedAfterDelete = true;
    if (++inside > 1) overlapped = true;
    CVelManagerProcessor::OnReceiveByte(byte);
    {
      std::lock_guard<std::mutex> lock(mutex);
      bytes.push_back(byte);
      threads.push_back(GetCurrentThreadId());
      readerThread = GetCurrentThreadId();
    }
    char text[32];
    std::snprintf(text, sizeof text, "byte %02x", byte);
    SendEventMsg(text, 0);
    --inside;
  }
  bool IsProcessorID(int type) const override { return type == 0; }

  std::vector<unsigned char> Bytes() {
    std::lock_guard<std::mutex> lock(mutex);
    return bytes;
  }
  std::vector<DWORD> Threads() {
    std::lock_guard<std::mutex> lock(mutex);
    return threads;
  }

  std::mutex mutex;
  std::vector<unsigned char> bytes;
  std::vector<DWORD> threads;
  std::atomic<DWORD> readerThread{0};
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
};

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    manager = new CVelManager;
    // Replace the protocol processor with the recorder (the table owns it from now on).
    delete Library().processors.At(0);
    recorder = new RecordingProcessor;
    recorder->SetPort(&Library().port);
    Library().processors.Set(0, recorder);
    client.Run([&] {
      manager->SetComportInfo(1, 115200);
      manager->SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel);
    });
  }
  void TearDown() override {
    client.SetHandler(nullptr);
    client.Run([&] { delete manager; });
    EXPECT_FALSE(g_usedAfterDelete);
    EXPECT_FALSE(g_readerAliveAtDelete);
  }
  int Arm() {
    int r = -1;
    client.Run([&] { r = manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, image.path().c_str()); });
    return r;
  }
  bool WaitForBytes(size_t n, DWORD ms = 3000) {
    const DWORD start = GetTickCount();
    while (recorder->Bytes().size() < n) {
      if (GetTickCount() - start > ms) return false;
      Sleep(5);
    }
    return true;
  }

  TestClientWindow client;
  MessageBoxWatcher boxes;
  volatile int cancel = 0;
  CVelManager* manager = nullptr;
  RecordingProcessor* recorder = nullptr;
  TempFile image{"stelvar-monitor.img", {1, 2, 3}};
  SerialPeer peer{2};
};

}  // namespace

TEST_F(Monitor, BytesFromTheFarEndReachTheProcessorInOrderOnTheReaderThread) {
  ASSERT_EQ(1, Arm());
  std::vector<unsigned char> sent;
  for (int i = 0; i < 256; ++i) sent.push_back(static_cast<unsigned char>(i));
  ASSERT_TRUE(peer.Write(sent));
  ASSERT_TRUE(WaitForBytes(sent.size()));
  EXPECT_EQ(sent, recorder->Bytes());
  const auto threads = recorder->Threads();
  for (DWORD t : threads) EXPECT_EQ(threads[0], t);
  EXPECT_NE(client.threadId(), threads[0]);
  EXPECT_NE(GetCurrentThreadId(), threads[0]);
  // Each byte's notification came from the reader thread.
  EXPECT_TRUE(client.WaitForDescribed("0:byte ff", 2000));
  EXPECT_TRUE(client.Messages().back().fromOtherThread);
  EXPECT_FALSE(recorder->overlapped);
}

TEST_F(Monitor, StopTransferInsideANotificationHandlerReturnsAndEndsTheReader) {
  ASSERT_EQ(1, Arm());
  std::atomic<int> stopResult{-1};
  client.SetHandler([&](const RecordedMessage& m) {
    if (m.Describe() == "0:byte 41") stopResult = manager->StopTransfer();
  });
  ASSERT_TRUE(peer.Write({0x41}));
  ASSERT_TRUE(client.WaitFor([&](const std::vector<RecordedMessage>&) { return stopResult != -1; }, 3000))
      << "StopTransfer did not return inside the handler";
  EXPECT_EQ(1, stopResult);
  EXPECT_EQ(0, manager->IsConnectedComport());

  // Nothing is read any more.
  ASSERT_TRUE(peer.Write({0x42, 0x43}));
  Sleep(300);
  EXPECT_EQ((std::vector<unsigned char>{0x41}), recorder->Bytes());

  // Armed again, one new reader takes over.
  client.SetHandler(nullptr);
  peer.Purge();
  ASSERT_EQ(1, Arm());
  ASSERT_TRUE(peer.Write({0x44}));
  ASSERT_TRUE(WaitForBytes(2));
  EXPECT_EQ(0x44, recorder->Bytes()[1]);
  EXPECT_FALSE(recorder->overlapped);
}

TEST_F(Monitor, RearmingInsideAHandlerWaitsForTheOldReader) {
  ASSERT_EQ(1, Arm());
  std::atomic<int> rearmed{-1};
  client.SetHandler([&](const RecordedMessage& m) {
    if (m.Describe() == "0:byte 51") {
      manager->StopTransfer();
      rearmed = manager->ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, image.path().c_str());
      Sleep(100);  // the new reader must not start while the old one waits for us
    }
  });
  ASSERT_TRUE(peer.Write({0x51}));
  ASSERT_TRUE(client.WaitFor([&](const std::vector<RecordedMessage>&) { return rearmed != -1; }, 5000));
  EXPECT_EQ(1, rearmed);
  ASSERT_TRUE(peer.Write({0x52, 0x53}));
  ASSERT_TRUE(WaitForBytes(3));
  EXPECT_EQ((std::vector<unsigned char>{0x51, 0x52, 0x53}), recorder->Bytes());
  const auto threads = recorder->Threads();
  EXPECT_NE(threads[0], threads[1]);
  EXPECT_EQ(threads[1], threads[2]);
  EXPECT_FALSE(recorder->overlapped);
}

TEST_F(Monitor, StopTransferFromTheClientThreadWaitsOutPendingNotifications) {
  ASSERT_EQ(1, Arm());
  // The handler is slow, so the reader is inside SendMessage when the stop comes.
  client.SetHandler([&](const RecordedMessage& m) {
    if (m.kind == RecordedMessage::kEvent) Sleep(20);
  });
  std::vector<unsigned char> burst(50, 0x11);
  ASSERT_TRUE(peer.Write(burst));
  ASSERT_TRUE(WaitForBytes(3));
  int r = -1;
  client.Run([&] { r = manager->StopTransfer(); });
  EXPECT_EQ(1, r);
  const size_t seen = recorder->Bytes().size();
  Sleep(200);
  EXPECT_EQ(seen, recorder->Bytes().size()) << "a reader kept running after StopTransfer";
}

TEST_F(Monitor, DestroyingTheManagerWhileBytesFlowStopsTheReaderFirst) {
  ASSERT_EQ(1, Arm());
  std::vector<unsigned char> burst(2000, 0x22);
  ASSERT_TRUE(peer.Write(burst));
  ASSERT_TRUE(WaitForBytes(10));
  // TearDown deletes the manager now and checks that the reader had ended before the
  // processor was deleted, and that no byte reached it afterwards.
}

TEST_F(Monitor, MonitorRestartKeepsOneReader) {
  ASSERT_EQ(1, Arm());
  ASSERT_EQ(1, Arm());
  ASSERT_EQ(1, Arm());
  ASSERT_TRUE(peer.Write({1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_TRUE(WaitForBytes(8));
  Sleep(100);
  EXPECT_EQ((std::vector<unsigned char>{1, 2, 3, 4, 5, 6, 7, 8}), recorder->Bytes());
  const auto threads = recorder->Threads();
  for (DWORD t : threads) EXPECT_EQ(threads[0], t);
}
