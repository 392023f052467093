#include "ImageBuilder.h"

#include <cstring>

Bytes MakeRecord(const RecordFields& f) {
  Bytes r(44, 0);
  r[0] = f.flag;
  const char tag[] = "KORVANTEX                    ";  // 9 letters, 20 spaces
  std::memcpy(&r[1], tag, 29);
  r[30] = 0;
  r[31] = f.program;
  r[32] = f.dataKind;
  r[33] = f.digUnit;
  r[34] = static_cast<unsigned char>(f.programLength >> 24);
  r[35] = static_cast<unsigned char>(f.programLength >> 16);
  r[36] = static_cast<unsigned char>(f.programLength >> 8);
  r[37] = static_cast<unsigned char>(f.programLength);
  for (int i = 38; i < 44; ++i) r[i] = f.rest;
  return r;
}

Bytes MakePayload(std::size_t length, unsigned seed) {
  Bytes p(length);
  uint32_t x = 0x9E3779B9u * (seed + 1);
  for (std::size_t i = 0; i < length; ++i) {
    x = x * 1103515245u + 12345u;
    p[i] = static_cast<unsigned char>(x >> 16);
  }
  return p;
}

ImageBuilder& ImageBuilder::Section(const RecordFields& f, const Bytes& payload, unsigned char filler) {
  Raw(MakeRecord(f));
  m_image.insert(m_image.end(), 20, filler);
  return Raw(payload);
}

ImageBuilder& ImageBuilder::Program(uint32_t length, unsigned seed) {
  RecordFields f;
  f.program = 1;
  f.programLength = length;
  return Section(f, MakePayload(length, seed));
}

ImageBuilder& ImageBuilder::Dig(unsigned char digUnit) {
  RecordFields f;
  f.dataKind = 1;
  f.digUnit = digUnit;
  return Section(f, {});
}

ImageBuilder& ImageBuilder::End(unsigned char flag) {
  RecordFields f;
  f.flag = flag;
  f.dataKind = 7;
  f.rest = 0x5C;
  return Raw(MakeRecord(f));
}

ImageBuilder& ImageBuilder::Raw(const Bytes& bytes) {
  m_image.insert(m_image.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes NoSectionRecords(std::size_t length) {
  Bytes junk(length, 0x00);
  for (std::size_t i = 0; i + 64 <= junk.size(); i += 64) junk[i + 32] = 9;
  return junk;
}
