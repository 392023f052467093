// BoxCrc32.h - the block checksum as the box computes it: CRC-32, MSB first, polynomial 0x04C11DB7, init 0.
#pragma once

#include <cstddef>
#include <cstdint>

// No reflection of input or output and no final inversion: "123456789" gives 0x89A1897F.
class CBoxCrc32 {
 public:
  static constexpr uint32_t kPolynomial = 0x04C11DB7u;

  CBoxCrc32();  // the table is built once per process and shared

  // CRC of `size` bytes, continuing from `crc` (0 for a fresh sum).
  uint32_t Compute(const uint8_t* data, size_t size, uint32_t crc = 0) const;

 private:
  const uint32_t* m_table;
};
