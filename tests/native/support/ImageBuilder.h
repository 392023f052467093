// ImageBuilder.h - serial download images for tests: section records, header areas, payloads and the end record.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct RecordFields {
  unsigned char flag = 0x01;
  unsigned char program = 0;     // byte 31
  unsigned char dataKind = 0;    // byte 32: 0 ANAL, 1 DIG
  unsigned char digUnit = 0;     // byte 33
  uint32_t programLength = 0;    // bytes 34 to 37, big-endian
  unsigned char rest = 0x00;     // bytes 38 to 43
};

// A 44-byte section record with the maker tag.
Bytes MakeRecord(const RecordFields& f);
// Payload bytes that differ from section to section.
Bytes MakePayload(std::size_t length, unsigned seed);

// Records of no section kind every 64 bytes: they move a walk on without changing anything.
Bytes NoSectionRecords(std::size_t length);

class ImageBuilder {
 public:
  // Header area (the record, then 20 filler bytes) and payload.
  ImageBuilder& Section(const RecordFields& f, const Bytes& payload, unsigned char filler = 0xA5);
  ImageBuilder& Anal(unsigned seed = 1) { return Section(RecordFields{}, MakePayload(0x3800, seed)); }
  ImageBuilder& Program(uint32_t length, unsigned seed = 2);
  ImageBuilder& Dig(unsigned char digUnit = 1);
  // The 44-byte end record.
  ImageBuilder& End(unsigned char flag = 0x01);
  ImageBuilder& Raw(const Bytes& bytes);
  const Bytes& Get() const { return m_image; }

 private:
  Bytes m_image;
};
