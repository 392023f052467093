// The box's building blocks: checksum, line timing, section records, the rebuilt image, fault points.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "BoxCrc32.h"
#include "BoxFifo.h"
#include "BoxImages.h"
#include "BoxPoint.h"
#include "BoxLineTiming.h"
#include "BoxReceivedImage.h"
#include "BoxSectionRecord.h"
#include "TestPc.h"

TEST(BoxCrc32, PublishedCheckValues) {
  CBoxCrc32 crc;
  const char* digits = "123456789";
  EXPECT_EQ(0x89A1897Fu, crc.Compute(reinterpret_cast<const uint8_t*>(digits), 9));
  std::vector<uint8_t> zeros(1024, 0);
  EXPECT_EQ(0u, crc.Compute(zeros.data(), zeros.size()));
}

TEST(BoxCrc32, TableAgreesWithBitwiseSumAndContinues) {
  CBoxCrc32 crc;
  std::vector<uint8_t> data(1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 131 + 17);
  uint32_t whole = crc.Compute(data.data(), data.size());
  EXPECT_EQ(CTestPc::Checksum(data.data(), data.size()), whole);
  EXPECT_EQ(whole, crc.Compute(data.data() + 100, 924, crc.Compute(data.data(), 100)));
}

TEST(BoxFifo, KeepsOrderWhileTakenElementsAreDropped) {
  CBoxFifo<int> fifo;
  int next = 0, taken = 0;
  // Uneven pushes and takes, across many compactions and an emptying in between.
  for (int round = 0; round < 50; ++round) {
    for (int i = 0; i < 700; ++i) fifo.push_back(next++);
    const size_t take = round == 25 ? fifo.size() : 450;
    for (size_t i = 0; i < take; ++i) ASSERT_EQ(taken + int(i), fifo[i]);
    fifo.pop_front(take);
    taken += int(take);
    ASSERT_EQ(size_t(next - taken), fifo.size());
    if (!fifo.empty()) ASSERT_EQ(taken, fifo.front());
  }
  fifo.pop_front(fifo.size() + 5);  // more than there is: empties it
  EXPECT_TRUE(fifo.empty());
}

TEST(BoxLineTiming, BlockAt115200TakesTenBitTimesPerByte) {
  CBoxLineTiming line;
  line.SetRate(115200);
  BoxTime done = 0;
  for (int i = 0; i < 1030; ++i) done = line.Schedule(5000);
  // 1030 x 10 / 115200 s = 89409.7 us, rounded up once for the whole burst.
  EXPECT_EQ(5000 + 89410, done);
  EXPECT_EQ(89410, line.Duration(1030));
  // A thousand bursts back to back drift by less than a microsecond per burst.
  for (int i = 0; i < 1030 * 999; ++i) done = line.Schedule(0);
  EXPECT_EQ(5000 + (1030ll * 1000 * 10 * 1000000 + 115199) / 115200, done);
}

TEST(BoxLineTiming, IdleLineStartsAtReadyAndRateChangeAppliesToNextByte) {
  CBoxLineTiming line;
  EXPECT_EQ(1000 + 1042, line.Schedule(1000));   // 9600: 1041.7 us
  EXPECT_EQ(1000 + 2084, line.Peek(1500));       // still busy: queued behind
  EXPECT_EQ(10000 + 1042, line.Schedule(10000)); // idle again
  line.SetRate(115200);
  EXPECT_EQ(11042 + 87, line.Schedule(11000));   // waits for the byte in flight, then at the new rate
  line.SetPacing(false);
  EXPECT_EQ(11000, line.Schedule(11000));
  EXPECT_EQ(0, line.Duration(1030));
}

TEST(BoxSectionRecord, PayloadLengthFollowsTheRecordKind) {
  std::vector<uint8_t> image = MakeImage({{SSection::kProgram, 0x00010000}});
  CBoxSectionRecord program(image.data());
  EXPECT_EQ(CBoxSectionRecord::kProgram, program.GetKind());
  EXPECT_EQ(65536, program.PayloadLength());
  uint8_t record[44] = {1};
  EXPECT_EQ(14336, CBoxSectionRecord(record).PayloadLength());  // data kind 0: ANAL
  record[32] = 1;
  EXPECT_EQ(CBoxSectionRecord::kDig, CBoxSectionRecord(record).GetKind());
  EXPECT_EQ(0, CBoxSectionRecord(record).PayloadLength());
  record[33] = 1;
  EXPECT_EQ(0, CBoxSectionRecord(record).PayloadLength());
  record[32] = 7;
  EXPECT_EQ(CBoxSectionRecord::kNone, CBoxSectionRecord(record).GetKind());
  EXPECT_EQ(0, CBoxSectionRecord(record).PayloadLength());
  EXPECT_NE(std::string::npos, CBoxSectionRecord(record).Describe().find("0x07"));
  record[0] = 0;
  EXPECT_TRUE(CBoxSectionRecord(record).IsEnd());
}

namespace {
// Rebuilds `file` (one program section of `length` bytes) the way the box does.
CBoxReceivedImage Rebuild(const std::vector<uint8_t>& file, uint32_t length) {
  CBoxReceivedImage image;
  uint8_t frame[64];
  std::memcpy(frame, file.data(), 44);
  std::memset(frame + 44, 0xFF, 20);
  image.AddHeader(frame, 1);
  image.AddPayload(file.data() + 64, length, 1);
  uint8_t end[44];
  std::memcpy(end, file.data() + 64 + length, 44);
  end[0] = 0;
  image.AddEndRecord(end);
  return image;
}
}  // namespace

TEST(BoxReceivedImage, WhatTheProtocolLeavesOutIsNoMismatch) {
  std::vector<uint8_t> file = MakeImage({{SSection::kProgram, 3000}});
  CBoxReceivedImage image = Rebuild(file, 3000);
  ASSERT_EQ(file.size(), image.Bytes().size());
  EXPECT_EQ(0xFF, image.Bytes()[44]);  // the filler as received
  SBoxImageComparison same = image.Compare(file);
  EXPECT_TRUE(same.equal);
  EXPECT_TRUE(same.differences.empty());
}

TEST(BoxReceivedImage, NamesWhereBytesAndLengthsDiffer) {
  std::vector<uint8_t> file = MakeImage({{SSection::kProgram, 3000}});
  std::vector<uint8_t> changed = file;
  changed[64 + 1500] ^= 1;
  changed[64 + 1501] ^= 1;
  changed[64 + 2900] ^= 1;
  changed[5] ^= 1;
  CBoxReceivedImage image = Rebuild(changed, 3000);
  SBoxImageComparison c = image.Compare(file);
  EXPECT_FALSE(c.equal);
  ASSERT_EQ(3u, c.differences.size());
  EXPECT_NE(std::string::npos, c.differences[0].find("offset 5 (section 1 record, byte 5)"));
  EXPECT_NE(std::string::npos, c.differences[1].find("offset 1564 (section 1 payload, byte 1500 of 3000)"));
  EXPECT_NE(std::string::npos, c.differences[1].find("2 of the 2 bytes"));
  EXPECT_NE(std::string::npos, c.differences[2].find("byte 2900 of 3000"));
  SBoxImageComparison capped = image.Compare(file, 1);
  ASSERT_EQ(2u, capped.differences.size());
  EXPECT_EQ("and 2 more differing runs", capped.differences[1]);

  std::vector<uint8_t> longer = file;
  longer.insert(longer.end() - 44, 10, 0x00);
  SBoxImageComparison shortReceived = image.Compare(longer);
  EXPECT_FALSE(shortReceived.equal);
  EXPECT_NE(std::string::npos, shortReceived.differences.back().find("from offset 3108 on were not received"));
  std::vector<uint8_t> shorter(file.begin(), file.end() - 4);
  SBoxImageComparison past = image.Compare(shorter);
  EXPECT_FALSE(past.equal);
  EXPECT_NE(std::string::npos, past.differences.back().find("4 bytes from offset 3104 (end record, byte 40)"));
}

TEST(BoxPoint, ParsesEveryFormAndRejectsTheRest) {
  SBoxPoint p;
  ASSERT_TRUE(SBoxPoint::Parse("ready", p));
  EXPECT_EQ(SBoxPoint::kReady, p.kind);
  ASSERT_TRUE(SBoxPoint::Parse("after-block:12", p));
  EXPECT_EQ(SBoxPoint::kAfterBlock, p.kind);
  EXPECT_EQ(12, p.index);
  EXPECT_EQ("after-block:12", p.Describe());
  ASSERT_TRUE(SBoxPoint::Parse("header:2", p));
  EXPECT_EQ("header:2", p.Describe());
  for (const char* bad : {"", "block", "block:", "block:0", "block:-1", "block:2x", "sync:1", "blocks:1", "block: 1"}) {
    SBoxPoint untouched{SBoxPoint::kEcho, 3};
    EXPECT_FALSE(SBoxPoint::Parse(bad, untouched)) << bad;
    EXPECT_EQ(SBoxPoint::kEcho, untouched.kind);
  }
}
