// The library as its client uses it: CVelManager through the import library, a client
// window on a UI thread, and message boxes watched and closed.
#include <gtest/gtest.h>

#include "MessageBoxWatcher.h"
#include "SerialPeer.h"
#include "TempFile.h"
#include "TestClientWindow.h"
#include "VelManager.h"

using Lines = std::vector<std::string>;

// Runs first: nothing has touched the library's settings yet.
TEST(FreshLibrary, ComportInfoIsPort1At115200AndNullPointersWriteNothing) {
  CVelManager manager;
  unsigned short port = 0;
  unsigned long baud = 0;
  EXPECT_EQ(1, manager.GetComportInfo(&port, &baud));
  EXPECT_EQ(1, port);
  EXPECT_EQ(115200u, baud);

  unsigned short keptPort = 77;
  unsigned long keptBaud = 77;
  EXPECT_EQ(0, manager.GetComportInfo(&keptPort, nullptr));
  EXPECT_EQ(0, manager.GetComportInfo(nullptr, &keptBaud));
  EXPECT_EQ(77, keptPort);
  EXPECT_EQ(77u, keptBaud);
  EXPECT_EQ(0, manager.IsConnectedComport());
}

class ManagerClient : public ::testing::Test {
 protected:
  void SetUp() override {
    client.Run([&] {
      manager.SetComportInfo(1, 115200);
      manager.SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel);
    });
  }
  void TearDown() override {
    client.Run([&] {
      manager.StopTransfer();
      manager.SetComportInfo(1, 115200);
    });
  }
  int Arm(const char* path) {
    int r = -1;
    client.Run([&] { r = manager.ReadyToTransfer(CVelManager::VELMAN_TRANS_SERIAL, path); });
    return r;
  }
  int Stop() {
    int r = -1;
    client.Run([&] { r = manager.StopTransfer(); });
    return r;
  }

  TestClientWindow client;
  MessageBoxWatcher boxes;
  volatile int cancel = 0;
  CVelManager manager;
  TempFile image{"stelvar-good.img", std::vector<unsigned char>(100, 0x5A)};
};

TEST_F(ManagerClient, ArmingWithoutPathDoesNothing) {
  EXPECT_EQ(0, Arm(nullptr));
  EXPECT_TRUE(client.Described().empty());
  EXPECT_EQ(0, manager.IsConnectedComport());
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ManagerClient, MissingFileShowsErrorBoxYetOpensPortAndReportsReady) {
  const char* missing = "C:\\no\\such\\folder\\missing.img";
  EXPECT_EQ(0, Arm(missing));

  ASSERT_EQ(1u, boxes.Boxes().size());
  const SeenMessageBox box = boxes.Boxes()[0];
  EXPECT_EQ("CVelManager::ReadyToTransfer() - CreateFile(\"C:\\no\\such\\folder\\missing.img\") Failed!",
            box.text);
  EXPECT_EQ(client.hwnd(), box.owner);
  EXPECT_EQ("error", box.icon);

  EXPECT_EQ(1, manager.IsConnectedComport());
  EXPECT_EQ((Lines{"0:Initialize COM Port [1, 9600]", "0:COM Port Monitoring Started",
                   "0:Ready (missing.img)", "busy 0"}),
            client.Described());
}

TEST_F(ManagerClient, SecondArmingRestartsTheMonitorAfterAPause) {
  ASSERT_EQ(1, Arm(image.path().c_str()));
  client.Clear();
  ASSERT_EQ(1, Arm(image.path().c_str()));

  EXPECT_EQ((Lines{"0:Uninitialize COM Port", "0:COM port monitoring stopped",
                   "0:Initialize COM Port [1, 9600]", "0:COM Port Monitoring Started",
                   "0:Ready (stelvar-good.img)", "busy 0"}),
            client.Described());
  const auto log = client.Messages();
  ASSERT_EQ(6u, log.size());
  EXPECT_GE(log[2].seconds - log[1].seconds, 0.49);
  EXPECT_LT(log[2].seconds - log[1].seconds, 2.0);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ManagerClient, StopTransferTwiceClosesOnceThenReturnsZeroSilently) {
  ASSERT_EQ(1, Arm(image.path().c_str()));
  client.Clear();
  EXPECT_EQ(1, Stop());
  EXPECT_EQ((Lines{"0:Uninitialize COM Port", "0:COM port monitoring stopped"}), client.Described());
  EXPECT_EQ(0, manager.IsConnectedComport());
  client.Clear();
  EXPECT_EQ(0, Stop());
  EXPECT_TRUE(client.Described().empty());
}

TEST_F(ManagerClient, TwoDigitPortOpensThroughTheDeviceNamespace) {
  client.Run([&] { manager.SetComportInfo(11, 57600); });
  ASSERT_EQ(1, Arm(image.path().c_str()));
  EXPECT_EQ(1, manager.IsConnectedComport());
  EXPECT_EQ("0:Initialize COM Port [11, 9600]", client.Described().at(0));
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(ManagerClient, NewSettingsWaitForTheNextOpen) {
  ASSERT_EQ(1, Arm(image.path().c_str()));
  client.Run([&] { manager.SetComportInfo(11, 9600); });
  unsigned short port = 0;
  unsigned long baud = 0;
  EXPECT_EQ(1, manager.GetComportInfo(&port, &baud));
  EXPECT_EQ(11, port);
  EXPECT_EQ(9600u, baud);
  EXPECT_EQ(1, manager.IsConnectedComport());
  // The open port is still COM1: its far end is still connected to it.
  SerialPeer com2(2);
  ASSERT_TRUE(com2.IsOpen());

  client.Clear();
  ASSERT_EQ(1, Arm(image.path().c_str()));
  EXPECT_EQ("0:Initialize COM Port [11, 9600]", client.Described().at(2));
}

TEST_F(ManagerClient, PortWithoutDeviceShowsTheOpenFailure) {
  client.Run([&] { manager.SetComportInfo(9, 115200); });
  // The file test succeeded, so the result is 1 even though the port stays closed.
  EXPECT_EQ(1, Arm(image.path().c_str()));
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Failed to open com port : \\\\.\\COM9, Error No. - 2l", boxes.Boxes()[0].text);
  EXPECT_EQ(client.hwnd(), boxes.Boxes()[0].owner);
  EXPECT_EQ("error", boxes.Boxes()[0].icon);
  EXPECT_EQ(0, manager.IsConnectedComport());
  EXPECT_EQ((Lines{"0:Ready (stelvar-good.img)", "busy 0"}), client.Described());
}

TEST_F(ManagerClient, OtherTransferTypesAreRefused) {
  EXPECT_EQ(0, Arm(nullptr));
  int r = -1;
  client.Run([&] {
    r = manager.ReadyToTransfer(static_cast<CVelManager::VELMAN_TRANS_TYPE>(3), image.path().c_str());
  });
  EXPECT_EQ(0, r);
  EXPECT_EQ(0, manager.IsConnectedComport());
  EXPECT_EQ(0, CVelManager::GetCurProcessorID());
  EXPECT_NE(nullptr, CVelManager::GetCurProcessor());
}

TEST_F(ManagerClient, CopiesShareTheCancelEventAndKeepTheLibraryAlive) {
  {
    CVelManager copy(manager);
    CVelManager assigned;
    assigned = manager;
    ResetEvent(manager.m_hCancelEvent);
    SetEvent(copy.m_hCancelEvent);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manager.m_hCancelEvent, 0));
    ResetEvent(assigned.m_hCancelEvent);
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(manager.m_hCancelEvent, 0));
  }
  // The copies are gone; the original still works.
  EXPECT_NE(nullptr, CVelManager::GetCurProcessor());
  ASSERT_EQ(1, Arm(image.path().c_str()));
  EXPECT_EQ(1, manager.IsConnectedComport());
}
