// The processor base: receive buffer life and the notification contract.
#include <gtest/gtest.h>

#include <algorithm>

#include "ManagerEvents.h"
#include "ProcessorTable.h"
#include "ReadyText.h"
#include "RecordingHost.h"
#include "VelOldManagerProcessor.h"

namespace {

class FailingAllocation : public CVelOldManagerProcessor {
 public:
  using CVelOldManagerProcessor::CVelOldManagerProcessor;

 protected:
  unsigned char* AllocateReceiveBuffer(std::size_t) override { return nullptr; }
};

class BaseOnly : public CVelManagerProcessor {
 public:
  using CVelManagerProcessor::CVelManagerProcessor;
  bool IsProcessorID(int) const override { return false; }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(ProcessorBase, BufferIsAllocatedOnTheFirstByteAndClearedOnRequest) {
  RecordingHost host;
  BaseOnly base(&host);
  EXPECT_STREQ("NONE Processor", base.GetName());
  EXPECT_EQ(9999, base.GetProcessorID());
  EXPECT_EQ(nullptr, base.GetReceiveBuffer());
  base.ClearReceiveBuffer();  // without a buffer only the count is touched
  EXPECT_EQ(nullptr, base.GetReceiveBuffer());
  base.OnReceiveByte(0x7E);   // the base only makes sure the buffer exists
  ASSERT_NE(nullptr, base.GetReceiveBuffer());
  EXPECT_EQ(0, base.GetReceivedCount());
  EXPECT_TRUE(host.log.empty());

  // The protocol stores each byte behind the ones before it.
  CVelOldManagerProcessor p(&host);
  p.SetTransferFile("box.img");
  p.OnReceiveByte(0x50);
  ASSERT_NE(nullptr, p.GetReceiveBuffer());
  EXPECT_EQ(1, p.GetReceivedCount());
  EXPECT_EQ(0x50, p.GetReceiveBuffer()[0]);
  EXPECT_EQ(0, p.GetReceiveBuffer()[1]);  // the rest of the new buffer is zero
  p.ClearReceiveBuffer();
  EXPECT_EQ(0, p.GetReceivedCount());
  EXPECT_EQ(0, p.GetReceiveBuffer()[0]);
  p.FreeReceiveBuffer();
  EXPECT_EQ(nullptr, p.GetReceiveBuffer());
}

TEST(ProcessorBase, NotificationsFollowTheClientContract) {
  RecordingHost host;
  CVelOldManagerProcessor p(&host);
  EXPECT_STREQ("VelOldDownloadManager", p.GetName());
  EXPECT_EQ(0, p.GetProcessorID());
  EXPECT_TRUE(p.IsProcessorID(0));
  EXPECT_FALSE(p.IsProcessorID(9999));

  // Without a parent window nothing is sent and nothing fails.
  p.SendEventMsg("lost", EVENT_MESSAGE);
  p.PostEventMsg("lost", EVENT_MESSAGE);
  p.SendInProcessMsg(1);
  EXPECT_TRUE(host.log.empty());

  volatile int cancel = 0;
  p.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
  p.SendEventMsg("status", EVENT_MESSAGE);
  p.SendErrorMsg("failure");
  p.PostEventMsg("Canceled...", EVENT_MESSAGE);
  p.SendInProcessMsg(1);
  EXPECT_EQ((Lines{"0:status", "update", "1:failure", "update", "0*:Canceled...", "update", "busy 1",
                   "update"}),
            host.Described(true));
}

TEST(ProcessorBase, FailedBufferAllocationDropsTheByteAndAsksForCancel) {
  RecordingHost host;
  FailingAllocation p(&host);
  volatile int cancel = 0;
  p.SetParentInfo(&host, RecordingHost::kEventMsg, RecordingHost::kInProcessMsg, &cancel);
  p.SetPort(&host);
  p.SetTransferFile("box.img");
  host.Clear();

  p.OnReceiveByte(0x22);
  EXPECT_EQ(nullptr, p.GetReceiveBuffer());
  EXPECT_EQ(0, p.GetReceivedCount());
  EXPECT_EQ(1, cancel);
  ASSERT_GE(host.log.size(), 2u);
  EXPECT_EQ("notify 1:CVelManagerProcessor::CVelManagerProcessor() - m_pBuf memory allocation failed!",
            host.log[0].Describe());
  EXPECT_EQ("beep 48", host.log[1].Describe());
  // The cancel it asked for is honoured at once: the line goes back to 9600 and waits for SYNC.
  const Lines lines = host.Described();
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "cancel event"));
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "0*:Canceled..."));
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "open COM1 9600"));
  EXPECT_EQ(CVelOldManagerProcessor::kWaitSync, p.GetState());
}

TEST(ProcessorTable, CurrentProcessorFollowsTheIdsAndReleasesThePreviousBuffer) {
  RecordingHost host;
  CProcessorTable table;
  table.Resize(2);
  auto* first = new CVelOldManagerProcessor(&host);
  auto* second = new CVelOldManagerProcessor(&host);
  table.Set(0, first);
  table.Set(1, second);

  EXPECT_EQ(first, table.Current());
  first->OnReceiveByte(1);
  ASSERT_NE(nullptr, first->GetReceiveBuffer());

  table.SetCurrentID(1);
  EXPECT_EQ(0, table.PreviousID());
  EXPECT_EQ(second, table.Current());
  EXPECT_EQ(nullptr, first->GetReceiveBuffer());  // the previous processor lost its buffer

  table.SetCurrentID(7);
  EXPECT_EQ(nullptr, table.Current());
  table.SetCurrentID(-1);
  EXPECT_EQ(nullptr, table.Current());
  table.SetCurrentID(0);  // previous -1 lies outside the array: nothing to release
  EXPECT_EQ(first, table.Current());

  table.DeleteAll();
  EXPECT_EQ(0u, table.Size());
  EXPECT_EQ(nullptr, table.Current());
}

TEST(ReadyText, NameAndExtensionOfThePath) {
  EXPECT_EQ("Ready (box.img)", FormatReadyText("D:\\fw\\box.img"));
  EXPECT_EQ("Ready (box.img)", FormatReadyText("D:box.img"));
  EXPECT_EQ("Ready (box)", FormatReadyText("C:\\images.v2\\box"));
  EXPECT_EQ("Ready (a.b.c)", FormatReadyText("a.b.c"));
  EXPECT_EQ("Ready (img)", FormatReadyText("C:/mixed\\slashes/img"));
  EXPECT_EQ("Ready ()", FormatReadyText("C:\\folder\\"));
  std::string name, ext;
  SplitFileName("\\\\server\\share\\image.tar.img", name, ext);
  EXPECT_EQ("image.tar", name);
  EXPECT_EQ(".img", ext);
}
