// BoxReceivedImage.h - the image the box rebuilds from the frames it received, and its comparison with a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "BoxImageComparison.h"

// Laid out as the file: each 64-byte header area (record, then the 20 bytes as received), the section's
// payload, and the 44-byte end record. What the protocol leaves out by design is not compared: the 20
// bytes of each header area (never sent) and byte 0 of the end record (sent as 0).
class CBoxReceivedImage {
 public:
  void Clear();

  void AddHeader(const uint8_t* frame, int section);  // the 64-byte data header frame
  void AddPayload(const uint8_t* data, size_t size, int section);
  void AddEndRecord(const uint8_t* record);  // the 44 bytes of the end header

  const std::vector<uint8_t>& Bytes() const { return m_bytes; }

  // Lists at most `maxRuns` differing runs, then a count of the rest.
  SBoxImageComparison Compare(const std::vector<uint8_t>& file, size_t maxRuns = 10) const;

 private:
  enum RegionKind { kRecord, kFiller, kPayload, kEndRecord };
  struct SRegion {
    size_t start;
    size_t size;
    RegionKind kind;
    int section;
  };

  void AddRegion(const uint8_t* data, size_t size, RegionKind kind, int section);
  bool Ignored(const SRegion& region, size_t offset) const;
  std::string Where(size_t offset) const;

  std::vector<uint8_t> m_bytes;
  std::vector<SRegion> m_regions;
};
