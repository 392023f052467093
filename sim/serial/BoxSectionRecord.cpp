#include "BoxSectionRecord.h"

#include <cstdio>
#include <cstring>

CBoxSectionRecord::CBoxSectionRecord(const uint8_t* bytes) { std::memcpy(m_bytes, bytes, kSize); }

CBoxSectionRecord::Kind CBoxSectionRecord::GetKind() const {
  if (m_bytes[31] != 0) return kProgram;
  if (m_bytes[32] == 0) return kAnal;
  if (m_bytes[32] == 1) return kDig;
  return kNone;
}

int64_t CBoxSectionRecord::PayloadLength() const {
  if (m_bytes[31] != 0)
    return (int64_t(m_bytes[34]) << 24) | (int64_t(m_bytes[35]) << 16) | (int64_t(m_bytes[36]) << 8) | m_bytes[37];
  if (m_bytes[32] == 0) return kAnalLength;
  if (m_bytes[33] != 0) return 65536 * kDigUnits64K;
  return 1024 * kDigUnits1K;
}

std::string CBoxSectionRecord::Describe() const {
  char text[64];
  switch (GetKind()) {
    case kProgram: return "program section";
    case kAnal: return "ANAL section";
    case kDig: return m_bytes[33] != 0 ? "DIG section (64 KiB units)" : "DIG section (1 KiB units)";
    case kNone: break;
  }
  std::snprintf(text, sizeof text, "record of no known kind (data kind 0x%02x)", m_bytes[32]);
  return text;
}
