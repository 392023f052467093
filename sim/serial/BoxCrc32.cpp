#include "BoxCrc32.h"

namespace {
struct STable {
  uint32_t entries[256];
  STable() {
    for (uint32_t a = 0; a < 256; ++a) {
      uint32_t r = a << 24;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) ? (r << 1) ^ CBoxCrc32::kPolynomial : r << 1;
      entries[a] = r;
    }
  }
};
}  // namespace

CBoxCrc32::CBoxCrc32() {
  static const STable table;
  m_table = table.entries;
}

uint32_t CBoxCrc32::Compute(const uint8_t* data, size_t size, uint32_t crc) const {
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ m_table[((crc >> 24) ^ data[i]) & 0xFFu];
  return crc;
}
