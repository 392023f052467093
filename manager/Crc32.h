// Crc32.h - the data block checksum: CRC-32, polynomial 0x04C11DB7, MSB first, init 0, no reflection, no final XOR.
#pragma once

#include <cstddef>
#include <cstdint>

class CCrc32 {
 public:
  static constexpr uint32_t kPolynomial = 0x04C11DB7;

  // The byte-wise table: t[a] is the remainder of a shifted left by 24.
  static void BuildTable(uint32_t table[256]);
  // Byte-wise update r = (r << 8) ^ t[(r >> 24) ^ b], over a table from BuildTable.
  static uint32_t Update(const uint32_t table[256], uint32_t crc, const unsigned char* data, std::size_t length);
  // The checksum of a buffer, eight bytes per step (same result as the byte-wise update).
  static uint32_t Compute(const unsigned char* data, std::size_t length, uint32_t crc = 0);
};
