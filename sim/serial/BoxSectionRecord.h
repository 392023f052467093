// BoxSectionRecord.h - reads a 44-byte section record the way the box does: kind and payload length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CBoxSectionRecord {
 public:
  static constexpr size_t kSize = 44;
  // The DIG size parameters (64 KiB units and 1 KiB units) are fixed at 0, so a DIG section carries no payload.
  static constexpr int64_t kDigUnits64K = 0;
  static constexpr int64_t kDigUnits1K = 0;
  static constexpr int64_t kAnalLength = 0x3800;

  enum Kind { kProgram, kAnal, kDig, kNone };

  explicit CBoxSectionRecord(const uint8_t* bytes);

  // Flag byte 0 cleared: the end record.
  bool IsEnd() const { return m_bytes[0] == 0; }
  Kind GetKind() const;
  // Byte 31 set: bytes 34-37 big-endian; data kind 0 (ANAL): 14336; otherwise the DIG rule.
  int64_t PayloadLength() const;
  // "program section", "ANAL section", "DIG section (1 KiB units)", "record of no known kind (data kind 0x07)".
  std::string Describe() const;

 private:
  uint8_t m_bytes[kSize];
};
