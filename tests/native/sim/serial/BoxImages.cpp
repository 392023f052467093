#include "BoxImages.h"

#include <cstring>

namespace {
void AppendRecord(std::vector<uint8_t>& image, uint8_t program, uint8_t kind, uint32_t length) {
  uint8_t record[44] = {};
  record[0] = 0x01;
  std::memcpy(record + 1, "KORVANTEX                    ", 29);
  record[31] = program;
  record[32] = kind;
  record[33] = 0;
  record[34] = uint8_t(length >> 24);
  record[35] = uint8_t(length >> 16);
  record[36] = uint8_t(length >> 8);
  record[37] = uint8_t(length);
  record[40] = 0x5C;
  image.insert(image.end(), record, record + 44);
}
}  // namespace

std::vector<uint8_t> MakeImage(const std::vector<SSection>& sections) {
  std::vector<uint8_t> image;
  int number = 0;
  for (const SSection& s : sections) {
    ++number;
    uint32_t payload = s.kind == SSection::kProgram ? s.length : s.kind == SSection::kAnal ? 14336 : 0;
    AppendRecord(image, s.kind == SSection::kProgram, s.kind == SSection::kDig ? 1 : 0, s.length);
    image.insert(image.end(), 20, 0xAB);
    for (uint32_t i = 0; i < payload; ++i) image.push_back(uint8_t(i * 7 + i / 251 + number * 31));
  }
  AppendRecord(image, 0, 0, 0);
  return image;
}
