// The image walk: kinds, payload lengths, layout checks and the checksum.
#include <gtest/gtest.h>

#include <random>

#include "Crc32.h"
#include "DownloadImage.h"
#include "ImageBuilder.h"

namespace {

CDownloadImage Loaded(const Bytes& bytes) {
  CDownloadImage image;
  image.Load(bytes);
  return image;
}
}  // namespace

TEST(Crc32, PublishedCheckValuesAndTheSlicedFormAgreeWithTheByteWiseOne) {
  const unsigned char digits[] = "123456789";
  EXPECT_EQ(0x89A1897Fu, CCrc32::Compute(digits, 9));
  const Bytes zeros(1024, 0);
  EXPECT_EQ(0u, CCrc32::Compute(zeros.data(), zeros.size()));

  uint32_t table[256];
  CCrc32::BuildTable(table);
  EXPECT_EQ(0u, table[0]);
  EXPECT_EQ(CCrc32::kPolynomial, table[1]);
  std::mt19937 rng(7);
  for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 63u, 1024u, 1031u}) {
    Bytes data(length);
    for (auto& b : data) b = static_cast<unsigned char>(rng());
    EXPECT_EQ(CCrc32::Update(table, 0, data.data(), length), CCrc32::Compute(data.data(), length))
        << length;
  }
}

TEST(DownloadImage, LoadKeepsTheFileAndOneZeroByte) {
  CDownloadImage image;
  image.Load({1, 2, 3});
  ASSERT_EQ(3u, image.Size());
  EXPECT_EQ(0, image.Data()[3]);
  image.Load({});
  EXPECT_EQ(0u, image.Size());
  EXPECT_EQ(0, image.Data()[0]);
}

TEST(DownloadImage, ScanClassifiesBySectionRecords) {
  EXPECT_EQ(CDownloadImage::kAnal, Loaded(ImageBuilder().Anal().End().Get()).Scan(0, 0));
  EXPECT_EQ(14444u, ImageBuilder().Anal().End().Get().size());
  EXPECT_EQ(CDownloadImage::kAnal, Loaded(ImageBuilder().Anal(1).Anal(2).End().Get()).Scan(0, 0));
  // A program section decides whatever follows.
  EXPECT_EQ(CDownloadImage::kProgram, Loaded(ImageBuilder().Program(3000).Anal().End().Get()).Scan(0, 0));
  // The kind follows the last two section kinds seen, while more than 2048 payload bytes
  // are left to account for.
  EXPECT_EQ(CDownloadImage::kDigAnal, Loaded(ImageBuilder().Dig().Anal().End().Get()).Scan(0, 0));
  EXPECT_EQ(CDownloadImage::kAnal, Loaded(ImageBuilder().Anal().Dig().End().Get()).Scan(0, 0));
  EXPECT_EQ(CDownloadImage::kDigAnal, Loaded(ImageBuilder().Anal().Dig().Raw(NoSectionRecords(4096)).Get()).Scan(0, 0));
  EXPECT_EQ(CDownloadImage::kDig,
            Loaded(ImageBuilder().Dig().Anal().Dig().Raw(NoSectionRecords(4096)).Get()).Scan(0, 0));
  // 2048 bytes or less: no section.
  Bytes small = ImageBuilder().Program(100).End().Get();
  small.resize(2048, 0);
  EXPECT_EQ(CDownloadImage::kNone, Loaded(small).Scan(0, 0));
  EXPECT_EQ(CDownloadImage::kNone, Loaded({}).Scan(0, 0));
}

TEST(DownloadImage, ScanEndsOnImagesWithoutPayloadBearingRecords) {
  // DIG records carry no payload with zero DIG sizes, so remaining never falls: the walk
  // must still stop at the end of the image.
  ImageBuilder b;
  for (int i = 0; i < 100; ++i) b.Dig(i % 3);
  EXPECT_EQ(CDownloadImage::kDig, Loaded(b.End().Get()).Scan(0, 0));
  // Records of unknown kind only.
  EXPECT_EQ(CDownloadImage::kNone, Loaded(NoSectionRecords(5000)).Scan(0, 0));
}

TEST(DownloadImage, SectionLengthRule) {
  RecordFields program;
  program.program = 1;
  program.programLength = 0x00010000;
  EXPECT_EQ(65536, CDownloadImage::SectionLength(MakeRecord(program).data(), 0, 0));
  EXPECT_EQ(0x3800, CDownloadImage::SectionLength(MakeRecord(RecordFields{}).data(), 0, 0));
  RecordFields dig;
  dig.dataKind = 1;
  dig.digUnit = 1;
  EXPECT_EQ(0, CDownloadImage::SectionLength(MakeRecord(dig).data(), 0, 0));
  EXPECT_EQ(3 * 65536, CDownloadImage::SectionLength(MakeRecord(dig).data(), 3, 5));
  dig.digUnit = 0;
  EXPECT_EQ(5 * 1024, CDownloadImage::SectionLength(MakeRecord(dig).data(), 3, 5));
}

TEST(DownloadImage, LayoutCheckFindsPayloadsPastTheEndAndMissingEndRecords) {
  EXPECT_EQ("", Loaded(ImageBuilder().Anal().End().Get()).CheckLayout(0, 0));
  EXPECT_EQ("", Loaded(ImageBuilder().Program(3000).Dig().Anal().End().Get()).CheckLayout(0, 0));
  // An end record cut short still ends the image.
  Bytes shortEnd = ImageBuilder().Anal().End().Get();
  shortEnd.resize(shortEnd.size() - 30);
  EXPECT_EQ("", Loaded(shortEnd).CheckLayout(0, 0));

  Bytes noEnd = ImageBuilder().Anal().Get();
  EXPECT_EQ("Image file is truncated: no end record after offset 14400.", Loaded(noEnd).CheckLayout(0, 0));
  Bytes cut = ImageBuilder().Anal().End().Get();
  cut.resize(8000);
  EXPECT_EQ("Image file is truncated: the section at offset 0 needs 14336 payload bytes, 7936 remain.",
            Loaded(cut).CheckLayout(0, 0));
  // A program length with the top bit set is no length at all.
  RecordFields huge;
  huge.program = 1;
  huge.programLength = 0x80000000u;
  EXPECT_NE("", Loaded(ImageBuilder().Section(huge, MakePayload(3000, 1)).End().Get()).CheckLayout(0, 0));
}

TEST(DownloadImage, RecordCopiesStayInsideTheImage) {
  CDownloadImage image = Loaded(Bytes(50, 0x77));
  unsigned char out[44];
  EXPECT_EQ(44, image.CopyRecord(0, out));
  EXPECT_EQ(6, image.CopyRecord(44, out));
  EXPECT_EQ(0x77, out[5]);
  EXPECT_EQ(0, out[6]);
  EXPECT_EQ(0, image.CopyRecord(50, out));
  EXPECT_EQ(0, image.CopyRecord(-3, out));
  EXPECT_FALSE(image.Holds(40, 11));
  EXPECT_TRUE(image.Holds(40, 10));
  EXPECT_FALSE(image.Holds(-1, 1));
}
