// The wire records: download header, request record, transfer descriptor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "StbDevice.h"
#include "UsbDownloadHeader.h"

TEST(DownloadHeader, NameIsThePartAfterTheLastBackslashFollowedByZeros) {
  std::string name = FileNameOfPath("D:\\fw\\images\\box.img");
  EXPECT_EQ("box.img", name);
  EXPECT_EQ("plain.img", FileNameOfPath("plain.img"));
  EXPECT_EQ("", FileNameOfPath("D:\\fw\\"));

  UsbDownloadHeader h = BuildDownloadHeader(name.c_str(), 4097);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&h);
  EXPECT_EQ(0, std::memcmp(b, "box.img", 7));
  for (int i = 7; i < 256; ++i) ASSERT_EQ(0, b[i]) << "byte " << i;  // 249 zero bytes
  for (int i = 260; i < 263; ++i) EXPECT_EQ(0, b[i]);
}

TEST(DownloadHeader, LongNamesAreCutTo255BytesAndSizeIsBigEndian) {
  std::string longName(300, 'n');
  UsbDownloadHeader h = BuildDownloadHeader(longName.c_str(), 10000000);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&h);
  EXPECT_EQ(std::string(255, 'n'), std::string(h.fileName));
  EXPECT_EQ(0, b[255]);
  EXPECT_EQ(0x00, b[256]);
  EXPECT_EQ(0x98, b[257]);
  EXPECT_EQ(0x96, b[258]);
  EXPECT_EQ(0x80, b[259]);

  h = BuildDownloadHeader("x", 0xA1B2C3D4);
  EXPECT_EQ(0xA1, b[256]);
  EXPECT_EQ(0xD4, b[259]);
}

TEST(StbRecords, RequestRecordAndDescriptorBytes) {
  StbRequest r = MakeStbRequest(STB_REQ_DATA_TRANSFER, 6, 0x00401000);
  unsigned char b[16];
  std::memcpy(b, &r, sizeof b);
  const unsigned char expected[16] = {0, 0, 0, 0, 6, 0, 0, 0, 0x00, 0x10, 0x40, 0, 4, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(expected, b, 16));

  StbTransferDescriptor d = MakeTransferDescriptor(4096);
  const unsigned char d4096[6] = {0, 0, 0, 0x00, 0x10, 0};
  EXPECT_EQ(0, std::memcmp(d4096, d.bytes, 6));
  d = MakeTransferDescriptor(0xABCD);
  const unsigned char dAbcd[6] = {0, 0, 0, 0xCD, 0xAB, 0};
  EXPECT_EQ(0, std::memcmp(dAbcd, d.bytes, 6));
}
