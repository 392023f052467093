// BoxImages.h - builds serial images for the box tests: section records, payloads, the end record.
#pragma once

#include <cstdint>
#include <vector>

struct SSection {
  enum Kind { kProgram, kAnal, kDig } kind;
  uint32_t length;  // program payload (ANAL is always 14336, DIG 0)
};

// Each section: its 44-byte record with flag byte 0x01, 20 bytes of 0xAB (never sent), its payload (a byte
// pattern that differs per section); then a 44-byte end record with flag byte 0x01.
std::vector<uint8_t> MakeImage(const std::vector<SSection>& sections);
