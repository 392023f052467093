#include "Crc32.h"

namespace {

// slice[k][a]: the remainder of byte a followed by k zero bytes. slice[0] is the byte-wise table.
struct SliceTables {
  uint32_t slice[8][256];
  SliceTables() {
    CCrc32::BuildTable(slice[0]);
    for (int k = 1; k < 8; ++k)
      for (int a = 0; a < 256; ++a) {
        const uint32_t prev = slice[k - 1][a];
        slice[k][a] = (prev << 8) ^ slice[0][prev >> 24];
      }
  }
};

const SliceTables& Tables() {
  static const SliceTables tables;
  return tables;
}

inline uint32_t BigEndian32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace

void CCrc32::BuildTable(uint32_t table[256]) {
  for (uint32_t a = 0; a < 256; ++a) {
    uint32_t r = 0;
    uint32_t v = a << 24;
    for (int i = 0; i < 8; ++i) {
      r = ((r ^ v) & 0x80000000u) ? (r << 1) ^ kPolynomial : r << 1;
      v <<= 1;
    }
    table[a] = r;
  }
}

uint32_t CCrc32::Update(const uint32_t table[256], uint32_t crc, const unsigned char* data, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) crc = (crc << 8) ^ table[(crc >> 24) ^ data[i]];
  return crc;
}

uint32_t CCrc32::Compute(const unsigned char* data, std::size_t length, uint32_t crc) {
  const auto& t = Tables().slice;
  while (length >= 8) {
    const uint32_t hi = crc ^ BigEndian32(data);
    const uint32_t lo = BigEndian32(data + 4);
    crc = t[7][hi >> 24] ^ t[6][(hi >> 16) & 0xFF] ^ t[5][(hi >> 8) & 0xFF] ^ t[4][hi & 0xFF] ^
          t[3][lo >> 24] ^ t[2][(lo >> 16) & 0xFF] ^ t[1][(lo >> 8) & 0xFF] ^ t[0][lo & 0xFF];
    data += 8;
    length -= 8;
  }
  return Update(t[0], crc, data, length);
}
