// The serial port wrapper on the harness's pty pairs (COM1 <-> COM2).
#include <gtest/gtest.h>

#include <atomic>

#include "ComPort.h"
#include "MessageBoxWatcher.h"
#include "SerialPeer.h"
#include "TestClientWindow.h"
#include "VelManager.h"

TEST(ComPort, OpensConfiguresAndRefusesASecondOpen) {
  MessageBoxWatcher boxes;
  CComPort port;
  ASSERT_TRUE(port.Initialize(1, 57600));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(57600u, port.GetBaudRate());
  EXPECT_FALSE(port.Initialize(11, 9600));
  // Still the first port, with its settings.
  EXPECT_EQ(1, port.GetPortNumber());
  EXPECT_EQ(57600u, port.GetBaudRate());

  SerialPeer peer(2);
  ASSERT_TRUE(peer.IsOpen());
  ASSERT_TRUE(port.WriteData(reinterpret_cast<const unsigned char*>("\x22\x05"), 2));
  EXPECT_EQ((std::vector<unsigned char>{0x22, 0x05}), peer.Read(2, 2000));

  EXPECT_TRUE(port.Uninitialize());
  EXPECT_FALSE(port.Uninitialize());
  EXPECT_FALSE(port.WriteByte(0x05));
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(ComPort, ReadsBytesInOrder) {
  CComPort port;
  ASSERT_TRUE(port.Initialize(1, 9600));
  SerialPeer peer(2);
  std::vector<unsigned char> sent;
  for (int i = 0; i < 300; ++i) sent.push_back(static_cast<unsigned char>(i * 7));
  ASSERT_TRUE(peer.Write(sent));
  std::vector<unsigned char> got;
  unsigned char b;
  while (got.size() < sent.size() && port.ReadByte(&b)) got.push_back(b);
  EXPECT_EQ(sent, got);
}

TEST(ComPort, BlockedReadReturnsSoonAfterClose) {
  CComPort port;
  ASSERT_TRUE(port.Initialize(1, 9600));
  std::atomic<DWORD> returnedAt{0};
  std::atomic<bool> result{true};
  struct Args {
    CComPort* port;
    std::atomic<DWORD>* at;
    std::atomic<bool>* result;
    static DWORD WINAPI Run(LPVOID p) {
      auto* a = static_cast<Args*>(p);
      unsigned char b;
      *a->result = a->port->ReadByte(&b);
      *a->at = GetTickCount();
      return 0;
    }
  } args{&port, &returnedAt, &result};
  HANDLE t = CreateThread(nullptr, 0, Args::Run, &args, 0, nullptr);
  Sleep(200);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(t, 0)) << "ReadByte returned with nothing to read";
  const DWORD closing = GetTickCount();
  EXPECT_TRUE(port.Uninitialize());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(t, 2000));
  CloseHandle(t);
  EXPECT_FALSE(result);
  EXPECT_LE(returnedAt - closing, 100u);
}

TEST(ComPort, PortWithoutDeviceFailsWithItsErrorCode) {
  MessageBoxWatcher boxes;
  CComPort port;
  EXPECT_FALSE(port.Initialize(9, 9600));
  EXPECT_FALSE(port.IsOpen());
  ASSERT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ("Failed to open com port : \\\\.\\COM9, Error No. - 2l", boxes.Boxes()[0].text);
  EXPECT_EQ(9, port.GetPortNumber());
}

TEST(ComPort, AWriteTheLineTakesOnlyInPartIsReportedAsAFailure) {
  // Nobody reads COM12: the line fills up and the write times out with part of the data sent.
  TestClientWindow client;
  CVelManager manager;
  volatile int cancel = 0;
  client.Run([&] { manager.SetParentInfo(client.hwnd(), client.eventMsg(), client.inProcessMsg(), &cancel); });
  CComPort port;
  ASSERT_TRUE(port.Initialize(11, 115200));
  std::vector<unsigned char> big(1 << 20, 0x5A);
  EXPECT_FALSE(port.WriteData(big.data(), static_cast<unsigned long>(big.size())));
  const auto log = client.Messages();
  ASSERT_FALSE(log.empty());
  const RecordedMessage& report = log.back();
  EXPECT_EQ(1, report.lParam);
  EXPECT_EQ(0u, report.text.find("CComPort::WriteData() - WriteFile() wrote ")) << report.text;
  EXPECT_NE(std::string::npos, report.text.find(" of 1048576 bytes")) << report.text;
  port.Uninitialize();
  SerialPeer(12).Purge();
}

// Bytes the port has taken reach the far end whatever the library does next: the completion
// purges the port right after the end header, and every close purges it too.
TEST(ComPort, WrittenBytesReachTheFarEndThoughThePortIsPurgedOrClosedRightAfter) {
  CComPort port;
  ASSERT_TRUE(port.Initialize(1, 115200));
  SerialPeer peer(2);
  ASSERT_TRUE(peer.IsOpen());
  std::vector<unsigned char> sent;
  for (int frame = 0; frame < 200; ++frame) {
    unsigned char bytes[64];
    for (int i = 0; i < 64; ++i) bytes[i] = static_cast<unsigned char>(frame + i);
    ASSERT_TRUE(port.WriteData(bytes, sizeof bytes));
    sent.insert(sent.end(), bytes, bytes + sizeof bytes);
    port.PurgePort();
  }
  const unsigned char last[] = {0x70, 0x00, 0xFF};
  ASSERT_TRUE(port.WriteData(last, sizeof last));
  sent.insert(sent.end(), last, last + sizeof last);
  ASSERT_TRUE(port.Uninitialize());
  const std::vector<unsigned char> got = peer.Read(sent.size(), 5000);
  ASSERT_EQ(sent.size(), got.size());
  EXPECT_EQ(sent, got);
}
