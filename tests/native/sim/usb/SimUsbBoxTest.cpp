// The simulated USB box on its own: what it accepts, what it answers, how it fails.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "SimUsbBox.h"
#include "StbDevice.h"

namespace {

using Strings = std::vector<std::string>;

std::vector<unsigned char> Header(const char* name, uint32_t size) {
  std::vector<unsigned char> h(263, 0);
  std::memcpy(h.data(), name, std::strlen(name));
  h[256] = static_cast<unsigned char>(size >> 24);
  h[257] = static_cast<unsigned char>(size >> 16);
  h[258] = static_cast<unsigned char>(size >> 8);
  h[259] = static_cast<unsigned char>(size);
  return h;
}

void Announce(CSimUsbBox& box, UsbHandle dev, uint16_t count) {
  unsigned char d[6] = {0, 0, 0, static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8), 0};
  uint32_t r = 0;
  ASSERT_TRUE(box.WriteRequest(dev, STB_REQ_DATA_TRANSFER, 6, d, &r));
  EXPECT_EQ(6u, r);
}

TEST(SimUsbBox, TakesADownloadAndFollowsItsScriptAfterTheEndOfData) {
  CSimUsbBox box;
  box.SetFlashScript({{1, 10}, {0, 0}});
  UsbHandle dev = box.OpenStbDevice(nullptr);
  UsbHandle pipe = box.OpenStbPipe("PIPE03", nullptr);
  ASSERT_NE(kInvalidUsbHandle, dev);
  ASSERT_NE(kInvalidUsbHandle, pipe);
  std::vector<unsigned char> h = Header("fw.img", 3);
  uint32_t r = 0;
  ASSERT_TRUE(box.WriteRequest(dev, STB_REQ_DOWNLOAD_HEADER, 263, h.data(), &r));
  EXPECT_EQ(263u, r);
  EXPECT_EQ("fw.img", box.HeaderName());
  EXPECT_EQ(3u, box.HeaderSize());

  unsigned char reply[2];
  ASSERT_TRUE(box.ReadRequest(dev, STB_REQ_FLASH_STATUS, 2, reply, &r));
  EXPECT_EQ(5, reply[0]);  // not started before request 7

  Announce(box, dev, 3);
  uint32_t w = 0;
  ASSERT_TRUE(box.WritePipe(pipe, "abc", 3, &w));
  EXPECT_EQ(3u, w);
  ASSERT_TRUE(box.WriteRequest(dev, STB_REQ_END_OF_DATA, 0, nullptr, &r));
  EXPECT_EQ(0u, r);
  for (int phase : {1, 0, 0}) {
    ASSERT_TRUE(box.ReadRequest(dev, STB_REQ_FLASH_STATUS, 2, reply, &r));
    EXPECT_EQ(phase, reply[0]);  // the last reply repeats
  }
  EXPECT_EQ((std::vector<unsigned char>{'a', 'b', 'c'}), box.ReceivedImage());
  EXPECT_TRUE(box.Violations().empty());

  // Requests it does not know, or with the wrong length, fail.
  EXPECT_FALSE(box.WriteRequest(dev, 99, 0, nullptr, &r));
  EXPECT_FALSE(box.WriteRequest(dev, STB_REQ_DATA_TRANSFER, 5, h.data(), &r));
  EXPECT_FALSE(box.ReadRequest(pipe, STB_REQ_FIRMWARE_VERSION, 1, reply, &r));  // not a device handle
  EXPECT_EQ(kInvalidUsbHandle, box.OpenStbPipe("PIPE01", nullptr));
  box.Close(dev);
  box.Close(pipe);
  EXPECT_EQ(0, box.OpenHandleCount());
}

TEST(SimUsbBox, FlagsBulkWritesThatBreakTheAnnouncement) {
  CSimUsbBox box;
  UsbHandle dev = box.OpenStbDevice(nullptr);
  UsbHandle pipe = box.OpenStbPipe("PIPE03", nullptr);
  uint32_t w = 0;
  box.WritePipe(pipe, "x", 1, &w);
  Announce(box, dev, 2);
  box.WritePipe(pipe, "xyz", 3, &w);
  EXPECT_EQ((Strings{"bulk write of 1 bytes without an announcement", "bulk write of 3 bytes after an announcement of 2"}),
            box.Violations());
  box.Close(dev);
  box.Close(pipe);
}

TEST(SimUsbBox, UnplugFailsEveryHandleOpenedBeforeAndWakesABlockedRead) {
  CSimUsbBox box;
  UsbHandle dev = box.OpenStbDevice(nullptr);
  UsbHandle status = box.OpenStbPipe("PIPE00", nullptr);
  bool readResult = true;
  std::atomic<bool> waiting{false};
  box.SetIdleStatusReadHook([&] { waiting = true; });
  std::thread reader([&] {
    unsigned char buf[16];
    uint32_t got = 0;
    readResult = box.ReadPipe(status, buf, 16, &got);
  });
  while (!waiting) std::this_thread::yield();
  box.Unplug();
  reader.join();
  EXPECT_FALSE(readResult);

  unsigned char v;
  uint32_t r;
  EXPECT_FALSE(box.ReadRequest(dev, STB_REQ_FIRMWARE_VERSION, 1, &v, &r));
  UsbOpenFailure why = UsbOpenFailure::kNone;
  EXPECT_EQ(kInvalidUsbHandle, box.OpenStbDevice(&why));
  EXPECT_EQ(UsbOpenFailure::kNotFound, why);
  box.Plug();
  EXPECT_FALSE(box.ReadRequest(dev, STB_REQ_FIRMWARE_VERSION, 1, &v, &r));  // still the old plug's handle
  UsbHandle dev2 = box.OpenStbDevice(nullptr);
  EXPECT_TRUE(box.ReadRequest(dev2, STB_REQ_FIRMWARE_VERSION, 1, &v, &r));
  for (UsbHandle h : {dev, status, dev2}) box.Close(h);
  EXPECT_EQ(0, box.OpenHandleCount());
}

TEST(SimUsbBox, StatusRecordsArriveOnePerReadIncludingTheResultAtTheEndOfData) {
  CSimUsbBox box;
  box.ReportResultAtEndOfData(1);
  UsbHandle dev = box.OpenStbDevice(nullptr);
  UsbHandle data = box.OpenStbPipe("PIPE03", nullptr);
  UsbHandle status = box.OpenStbPipe("PIPE00", nullptr);
  box.QueueStatusRecord({9, 9, 9});
  unsigned char buf[32];
  uint32_t got = 0;
  ASSERT_TRUE(box.ReadPipe(status, buf, 16, &got));
  EXPECT_EQ(3u, got);

  Announce(box, dev, 2);
  uint32_t w;
  box.WritePipe(data, "ab", 2, &w);
  uint32_t r;
  box.WriteRequest(dev, STB_REQ_END_OF_DATA, 0, nullptr, &r);
  ASSERT_TRUE(box.ReadPipe(status, buf, 16, &got));
  EXPECT_EQ(16u, got);
  EXPECT_EQ(0, std::memcmp(buf, "\x00\x00\x00\x02\x01", 5));
  EXPECT_FALSE(box.ReadPipe(data, buf, 16, &got));  // the data pipe is not read

  std::atomic<bool> waiting{false};
  box.SetIdleStatusReadHook([&] { waiting = true; });
  std::thread reader([&] { EXPECT_FALSE(box.ReadPipe(status, buf, 16, &got)); });
  while (!waiting) std::this_thread::yield();
  box.AbortTransfer(status);
  reader.join();
  for (UsbHandle h : {dev, data, status}) box.Close(h);
}

TEST(SimUsbBox, CountedFailuresStartAfterTheGivenNumber) {
  CSimUsbBox box;
  box.FailRequest(STB_REQ_DATA_TRANSFER, 2);
  box.AnswerZeroCount(STB_REQ_DOWNLOAD_HEADER);
  UsbHandle dev = box.OpenStbDevice(nullptr);
  unsigned char d[6] = {};
  uint32_t r = 0;
  EXPECT_TRUE(box.WriteRequest(dev, STB_REQ_DATA_TRANSFER, 6, d, &r));
  EXPECT_TRUE(box.WriteRequest(dev, STB_REQ_DATA_TRANSFER, 6, d, &r));
  EXPECT_FALSE(box.WriteRequest(dev, STB_REQ_DATA_TRANSFER, 6, d, &r));
  std::vector<unsigned char> h = Header("a", 1);
  r = 99;
  EXPECT_TRUE(box.WriteRequest(dev, STB_REQ_DOWNLOAD_HEADER, 263, h.data(), &r));
  EXPECT_EQ(0u, r);
  box.Close(dev);
}

}  // namespace
